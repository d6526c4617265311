#include "mainwindow/workbench.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/messagebox.h"
#include "common/optimumcache.h"
#include "common/settings.h"
#include "mainwindow/solverdlg.h"
#include "common/solvermodel.h"
#include "session/numbers.h"

namespace kelvora::ui {

namespace {

// A view's dock: the view scrolls inside it when the dock is smaller than the view's least size, and
// closing the dock closes the view first (which may keep itself open, or go when it is one of
// several of its kind).
class ViewDock : public QDockWidget {
public:
    ViewDock(QWidget* view, QWidget* parent) : QDockWidget(view->windowTitle(), parent), m_view(view) {
        auto* area = new QScrollArea;
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setWidget(view);
        area->setMinimumSize(200, 150);
        setWidget(area);
    }
    QWidget* view() const { return m_view; }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_view && !m_view->close()) {
            event->ignore();
            return;
        }
        QDockWidget::closeEvent(event);
    }

private:
    QPointer<QWidget> m_view;
};

// The entry of the dialog's window menu that opens the view a dock of this name holds.
const char* ActionOfDock(const QString& name) {
    if (name.startsWith(QLatin1String("EvolutionWindow"))) return "EvolutionAction";
    if (name.startsWith(QLatin1String("MicroscopeWindow"))) return "MicroscopeAction";
    if (name.startsWith(QLatin1String("LandscapeWindow"))) return "LandscapeAction";
    if (name.startsWith(QLatin1String("ExperimentWindow"))) return "ExperimentAction";
    if (name.startsWith(QLatin1String("HelpWindow"))) return "HelpAction";
    if (name.startsWith(QLatin1String("OperatorsView"))) return "OperatorsAction";
    return nullptr;
}

// The class name of view without its namespace: "EvolutionWindow".
QString KindOf(const QWidget* view) {
    return QString::fromLatin1(view->metaObject()->className()).section(QLatin1String("::"), -1);
}

}  // namespace

Workbench::Workbench(CSolverDlg* dialog)
    // An application window, as the dialog always was: in its title bar the window menu and the close
    // button, no minimise or maximise button.
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowCloseButtonHint),
      m_dialog(dialog) {
    setObjectName(QStringLiteral("Workbench"));
    setWindowTitle(m_dialog->windowTitle());
    setWindowIcon(m_dialog->windowIcon());
    setDockOptions(AnimatedDocks | AllowTabbedDocks | AllowNestedDocks | GroupedDragging);
    setFont(m_dialog->font());
    m_dialog->setParent(nullptr);
    m_dialog->setWindowFlags(Qt::Widget);
    m_dialog->setFixedSize(m_dialog->size());

    // The dialog keeps its own pixels; when the window is smaller than it, it scrolls.
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_dialog, 0, Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(makeStrip(), 0, Qt::AlignLeft | Qt::AlignTop);
    column->addStretch(1);
    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("DialogArea"));
    area->setFrameShape(QFrame::NoFrame);
    // A click on the plot leaves the keyboard focus where it was (on 計算 or a field), as in the
    // dialog alone, so that Enter after choosing a target still computes.
    area->setFocusPolicy(Qt::NoFocus);
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setMinimumSize(160, 120);
    setCentralWidget(area);
    resize(m_dialog->width() + 2, page->sizeHint().height() + 2);

    m_dialog->setViewHost([this](QWidget* view) { dock(view); });
    connect(m_dialog, &QWidget::windowTitleChanged, this, &QWidget::setWindowTitle);
    connect(m_dialog, &CSolverDlg::closeAgreed, this, [this] {
        m_closeAgreed = true;
        if (!m_inCloseEvent) close();
    });
    // 表示 → レイアウトを元に戻す, after the views' entries.
    auto* reset = new QAction(tr("レイアウトを元に戻す(&R)"), this);
    reset->setObjectName(QStringLiteral("ResetLayoutAction"));
    connect(reset, &QAction::triggered, this, &Workbench::resetLayout);
    const QList<QAction*> menus = m_dialog->menuBar()->actions();
    if (menus.size() > 1 && menus[1]->menu()) {
        menus[1]->menu()->addSeparator();
        menus[1]->menu()->addAction(reset);
    }
    // Ctrl+O opens a results.csv where the focus is in the dialog, and a view's own file (the
    // experiment's sweep) where it is in that view: never both, which would leave the key to neither.
    if (auto* open = m_dialog->findChild<QAction*>(QStringLiteral("OpenResultsAction")))
        open->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    restoreGeometry(AppSettings().value(QLatin1String(kGeometryKey)).toByteArray());
}

Workbench::~Workbench() = default;

QWidget* Workbench::makeStrip() {
    auto* strip = new QWidget;
    strip->setObjectName(QStringLiteral("SeedStrip"));
    strip->setFixedWidth(m_dialog->width());
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(14, 4, 14, 6);
    auto* label = new QLabel(tr("シード(&S):"));
    m_seed = new QLineEdit;
    m_seed->setObjectName(QStringLiteral("SeedField"));
    m_seed->setPlaceholderText(tr("自動"));
    m_seed->setToolTip(tr("空欄か「自動」: 計算のたびに時計から新しいシードを引きます。\n"
                          "0 から 4294967295 までの整数: 計算はそのシードを使い、kelvora-cli --seed と同じ結果になります。"));
    m_seed->setMinimumWidth(110);
    label->setBuddy(m_seed);
    m_keepSeed = new QToolButton;
    m_keepSeed->setObjectName(QStringLiteral("KeepSeedButton"));
    m_keepSeed->setText(tr("前回のシードを使う"));
    m_keepSeed->setEnabled(false);
    connect(m_keepSeed, &QToolButton::clicked, this, [this] {
        if (m_lastSeed) m_seed->setText(QString::number(*m_lastSeed));
    });
    m_pose = new QLabel;
    m_pose->setObjectName(QStringLiteral("BestPose"));
    m_pose->setToolTip(tr("最良の腕の三つの関節の角度 (遺伝子 0〜255) と、目標点に最も近い腕 (最適解) の角度。\n"
                          "関節が三つで目標点の座標は二つなので、同じ点に届く腕は一つではありません (ヘルプの「冗長性」)。"));
    row->addWidget(label);
    row->addWidget(m_seed);
    row->addWidget(m_keepSeed);
    row->addSpacing(12);
    row->addWidget(m_pose, 1);

    m_dialog->setSeedSource([this](std::optional<std::uint32_t>& seed) {
        if (ParseSeed(m_seed->text(), seed)) return true;
        ShowMessageBox(m_dialog, QMessageBox::Warning,
                       tr("シードには 0 から 4294967295 までの整数を入力するか、空欄にしてください。"));
        m_seed->setFocus(Qt::OtherFocusReason);
        m_seed->selectAll();
        return false;
    });
    connect(m_dialog, &CSolverDlg::runStarted, this, [this](std::uint32_t seed) {
        m_lastSeed = seed;
        m_keepSeed->setEnabled(true);
        m_keepSeed->setToolTip(tr("シード %1 を欄に入れ、次の計算で同じ実行を繰り返します").arg(seed));
        m_seed->setPlaceholderText(tr("自動 (前回 %1)").arg(seed));
        m_seed->setMinimumWidth(m_seed->fontMetrics().horizontalAdvance(m_seed->placeholderText()) + 16);
    });
    connect(m_dialog, &CSolverDlg::openedRunSeed, this, [this](std::uint32_t seed) { m_seed->setText(QString::number(seed)); });
    connect(m_dialog, &CSolverDlg::runFinished, this, &Workbench::showBestPose);
    connect(m_dialog, &CSolverDlg::resultsOpened, this, &Workbench::showBestPose);
    return strip;
}

bool Workbench::ParseSeed(const QString& text, std::optional<std::uint32_t>& seed) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == tr("自動") || trimmed == QLatin1String("自動")) {
        seed.reset();
        return true;
    }
    const std::optional<double> v = kelvora::session::ParseNumberField(kelvora::session::kSeedField, trimmed.toStdString());
    if (!v) return false;
    seed = static_cast<std::uint32_t>(*v);
    return true;
}

void Workbench::showBestPose() {
    const SolverModel* model = m_dialog->findChild<SolverModel*>();
    if (!model) return;
    const SolverState& state = model->state();
    if (state.eliteFitness <= 0.0) return;
    const kelvora::ArmPose& best = state.elitePose;
    const kelvora::ArmPose& optimum = OptimumFor(model->base(), model->target()).pose;
    QString text = tr("最良の腕 (%1, %2, %3)　最適解 (%4, %5, %6)")
                       .arg(best.a1).arg(best.a2).arg(best.a3)
                       .arg(optimum.a1).arg(optimum.a2).arg(optimum.a3);
    // Three-digit angles may not fit beside the seed in the dialog's width: the optimum then goes
    // under the best arm, never cut off and never broken inside its angles.
    const int room = m_pose->parentWidget()->contentsRect().right() - m_pose->parentWidget()->layout()->contentsMargins().right() - m_pose->x();
    if (m_pose->fontMetrics().horizontalAdvance(text) > room)
        text.replace(QRegularExpression(QStringLiteral("\\x{3000}| {2,}")), QStringLiteral("\n"));
    m_pose->setText(text);
}

QDockWidget* Workbench::dockOf(const QWidget* view) const {
    for (QDockWidget* d : docks())
        if (static_cast<ViewDock*>(d)->view() == view) return d;
    return nullptr;
}

QList<QDockWidget*> Workbench::docks() const { return findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly); }

void Workbench::dock(QWidget* view) {
    QDockWidget* d = dockOf(view);
    if (!d) {
        const QString kind = KindOf(view);
        QString name = kind + QLatin1String("Dock");
        for (int n = 2; findChild<QDockWidget*>(name, Qt::FindDirectChildrenOnly); ++n)
            name = kind + QLatin1String("Dock") + QString::number(n);
        d = new ViewDock(view, this);
        d->setObjectName(name);
        d->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        // The title without the program's name, which the window's own title bar says: short tabs.
        const auto title = [](const QString& text) { return text.section(QStringLiteral(" — "), 1).isEmpty() ? text : text.section(QStringLiteral(" — "), 1); };
        d->setWindowTitle(title(view->windowTitle()));
        connect(view, &QWidget::windowTitleChanged, d, [d, title](const QString& text) { d->setWindowTitle(title(text)); });
        connect(view, &QObject::destroyed, d, &QObject::deleteLater);
        d->hide();
        if (!restoreDockWidget(d)) place(d);
    } else if (d->isHidden() && !d->isFloating()) {
        place(d);
    }
    view->show();
    d->show();
    d->raise();
    if (d->isFloating()) d->activateWindow();
}

void Workbench::place(QDockWidget* d) {
    QDockWidget* beside = nullptr;
    for (QDockWidget* other : docks())
        if (other != d && other->isVisible() && !other->isFloating() && dockWidgetArea(other) == Qt::RightDockWidgetArea) {
            beside = other;
            break;
        }
    if (beside) {
        tabifyDockWidget(beside, d);
        return;
    }
    addDockWidget(Qt::RightDockWidgetArea, d);
    // The first view beside the dialog: the window grows to hold both where the screen has room,
    // and stays on it.
    if (isMaximized() || isFullScreen() || !screen()) return;
    const QRect available = screen()->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    // The whole screen's room: the views share what the dialog leaves.
    resize(std::max(this->width(), available.width() - frame.width()), std::max(this->height(), available.height() - frame.height()));
    QRect placed = frameGeometry();
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    move(placed.topLeft());
    resizeDocks({d}, {std::max(200, this->width() - m_dialog->width() - 24)}, Qt::Horizontal);
}

void Workbench::resetLayout() {
    QList<QDockWidget*> shown;
    for (QDockWidget* d : docks()) {
        if (d->isHidden()) continue;
        shown.append(d);
        d->setFloating(false);
        removeDockWidget(d);
    }
    for (QDockWidget* d : shown) {
        place(d);
        d->show();
    }
    if (!shown.isEmpty()) shown.first()->raise();
}

void Workbench::saveLayout() {
    QSettings settings = AppSettings();
    settings.setValue(QLatin1String(kGeometryKey), saveGeometry());
    settings.setValue(QLatin1String(kStateKey), saveState());
    QStringList open;
    for (const QDockWidget* d : docks())
        if (!d->isHidden()) open.append(d->objectName());
    settings.setValue(QLatin1String(kViewsKey), open);
}

void Workbench::reopenViews() {
    const QSettings settings = AppSettings();
    for (const QString& name : settings.value(QLatin1String(kViewsKey)).toStringList()) {
        if (findChild<QDockWidget*>(name, Qt::FindDirectChildrenOnly)) continue;  // open already
        if (const char* action = ActionOfDock(name))
            if (auto* entry = m_dialog->findChild<QAction*>(QLatin1String(action))) entry->trigger();
    }
    restoreState(settings.value(QLatin1String(kStateKey)).toByteArray());
}

void Workbench::keyPressEvent(QKeyEvent* event) {
    // Enter anywhere around the dialog (its surroundings, the seed strip) presses 計算, as it does in the
    // dialog's own fields; in a docked view it stays that view's.
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier);
    const QWidget* focus = QApplication::focusWidget();
    if (enter && (!focus || focus == this || centralWidget()->isAncestorOf(focus))) {
        QCoreApplication::sendEvent(m_dialog, event);  // the dialog's own Enter: its default button
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Workbench::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shown || event->spontaneous()) return;
    m_shown = true;
    reopenViews();
    // Wholly on the screen, title bar included, the first time and after a screen was taken away.
    if (QScreen* s = screen()) {
        const QRect available = s->availableGeometry();
        QRect frame = frameGeometry();
        if (!available.contains(frame)) {
            frame.moveRight(std::min(frame.right(), available.right()));
            frame.moveBottom(std::min(frame.bottom(), available.bottom()));
            frame.moveLeft(std::max(frame.left(), available.left()));
            frame.moveTop(std::max(frame.top(), available.top()));
            move(frame.topLeft());
        }
    }
}

void Workbench::closeEvent(QCloseEvent* event) {
    if (!m_closeAgreed) {
        // The dialog decides, as its Escape and its Close entry do: a run stops first, unsaved runs are asked about.
        m_inCloseEvent = true;
        m_dialog->close();  // its closeEvent asks reject()
        m_inCloseEvent = false;
        if (!m_closeAgreed) {
            event->ignore();
            return;
        }
    }
    saveLayout();
    for (QDockWidget* d : docks())
        if (QWidget* view = static_cast<ViewDock*>(d)->view()) view->close();
    event->accept();
}

}  // namespace kelvora::ui
