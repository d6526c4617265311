#include "experiment/experimentmenu.h"

#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

#include "common/filedialog.h"
#include "common/messagebox.h"
#include "common/wholefile.h"
#include "experiment/experimentwindow.h"

namespace kelvora::ui {

void AddExperimentMenu(QMainWindow* window, const ExperimentMenuActions& actions) {
    QMenu* file = window->menuBar()->addMenu(ExperimentWindow::tr("ファイル(&F)"));
    QAction* open = file->addAction(ExperimentWindow::tr("スイープの CSV を開く(&O)..."));
    open->setObjectName(QStringLiteral("OpenSweepAction"));
    open->setShortcut(QKeySequence::Open);
    // Docked in the program's window: its keys where the focus is in this view, the dialog's elsewhere.
    open->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    window->addAction(open);
    QObject::connect(open, &QAction::triggered, window, [window, actions] {
        const QString path = GetOpenFileName(window, ExperimentWindow::tr("スイープの CSV を開く"), QString(),
                                                          ExperimentWindow::tr("CSV ファイル (*.csv);;すべてのファイル (*)"));
        if (!path.isEmpty()) actions.openSweep(path);
    });
    const QString experiments = ExperimentWindow::tr("実験ファイル (*.kelvora.json);;すべてのファイル (*)");
    QAction* openExperiment = file->addAction(ExperimentWindow::tr("実験を開く(&E)..."));
    openExperiment->setObjectName(QStringLiteral("OpenExperimentAction"));
    QObject::connect(openExperiment, &QAction::triggered, window, [window, actions, experiments] {
        const QString path = GetOpenFileName(window, ExperimentWindow::tr("実験を開く"), QString(), experiments);
        if (!path.isEmpty()) actions.openExperiment(path);
    });
    QAction* saveExperiment = file->addAction(ExperimentWindow::tr("実験を保存(&X)..."));
    saveExperiment->setObjectName(QStringLiteral("SaveExperimentAction"));
    QObject::connect(saveExperiment, &QAction::triggered, window, [window, actions, experiments] {
        const QString path = GetSaveFileName(window, ExperimentWindow::tr("実験を保存"),
                                                          QStringLiteral("experiment.kelvora.json"), experiments);
        if (!path.isEmpty()) actions.saveExperiment(path);
    });
    file->addSeparator();
    // The runs are saved once either holds them; the labels go beside the runs' file.
    QObject::connect(file->addAction(ExperimentWindow::tr("実行結果を CSV で保存(&R)...")), &QAction::triggered, window, [window, actions] {
        const QString path = SaveTextAs(window, ExperimentWindow::tr("実行結果を CSV で保存"), QStringLiteral("sweep.csv"), actions.runsCsv());
        if (!path.isEmpty()) actions.runsSaved(path);
    });
    QObject::connect(file->addAction(ExperimentWindow::tr("集計を CSV で保存(&U)...")), &QAction::triggered, window, [window, actions] {
        if (!SaveTextAs(window, ExperimentWindow::tr("集計を CSV で保存"), QStringLiteral("summary.csv"), actions.summaryCsv()).isEmpty())
            actions.summarySaved();
    });
    QObject::connect(file->addAction(ExperimentWindow::tr("統計を CSV で保存(&T)...")), &QAction::triggered, window, [window, actions] {
        SaveTextAs(window, ExperimentWindow::tr("統計を CSV で保存"), QStringLiteral("statistics.csv"), actions.statisticsCsv());
    });
    // Refused before a file is asked for while the runs shown cannot make one.
    QAction* report = file->addAction(ExperimentWindow::tr("レポートを書き出す(&H)..."));
    report->setObjectName(QStringLiteral("ExportReport"));
    QObject::connect(report, &QAction::triggered, window, [window, actions] {
        if (const QString refusal = actions.reportRefusal(); !refusal.isEmpty()) {
            ShowMessageBox(window, QMessageBox::Warning, ExperimentWindow::tr("レポートを書き出せません: %1").arg(refusal));
            return;
        }
        const QString path = GetSaveFileName(window, ExperimentWindow::tr("レポートを書き出す"), QStringLiteral("report.html"),
                                          ExperimentWindow::tr("HTML ファイル (*.html)"));
        if (!path.isEmpty()) actions.exportReport(path);
    });
    file->addSeparator();
    QObject::connect(file->addAction(ExperimentWindow::tr("グラフを PNG として保存(&P)...")), &QAction::triggered, window,
                     [actions] { actions.savePlot(false); });
    QObject::connect(file->addAction(ExperimentWindow::tr("グラフを SVG として保存(&S)...")), &QAction::triggered, window,
                     [actions] { actions.savePlot(true); });
    file->addSeparator();
    QAction* close = file->addAction(ExperimentWindow::tr("閉じる(&C)"));
    close->setShortcut(QKeySequence::Close);
    close->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    window->addAction(close);
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
}

void AskDiscardBox(QWidget* parent, const QString& text, std::function<void(bool)> answer) {
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Kelvora"), text, QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("DiscardQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton* discard = box->addButton(ExperimentWindow::tr("保存せずに閉じる"), QMessageBox::DestructiveRole);
    QPushButton* keep = box->addButton(ExperimentWindow::tr("キャンセル"), QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, discard, answer = std::move(answer)] { answer(box->clickedButton() == discard); });
    box->open();
}

QString SaveTextAs(QWidget* parent, const QString& title, const QString& name, const QByteArray& bytes) {
    const QString path = GetSaveFileName(parent, title, name, ExperimentWindow::tr("CSV ファイル (*.csv)"));
    if (path.isEmpty()) return {};
    if (const QString reason = WriteWholeFile(QFile::encodeName(path), bytes); !reason.isEmpty()) {
        ShowMessageBox(parent, QMessageBox::Warning,
                       ExperimentWindow::tr("\"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason);
        return {};
    }
    return path;
}

}  // namespace kelvora::ui
