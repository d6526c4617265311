#include "help/helpwindow.h"

#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>

// The pages are compiled into kelvora_res; a static library's resources are registered by name,
// outside any namespace.
static void RegisterHelpPages() { Q_INIT_RESOURCE(help); }

namespace kelvora::ui {

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    RegisterHelpPages();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Kelvora — ヘルプ"));

    m_pages = new QListWidget(this);
    m_pages->setObjectName(QStringLiteral("HelpPages"));
    const QString folder = pageFolder();
    for (const QString& page : pageNames()) {
        auto* item = new QListWidgetItem(pageTitle(folder, page), m_pages);
        item->setData(Qt::UserRole, page);
        item->setToolTip(item->text());
    }
    // A long title wraps where the window is narrow, never a sideways scroll bar.
    m_pages->setWordWrap(true);
    m_pages->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setSearchPaths({folder});
    m_browser->setOpenExternalLinks(false);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_pages);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 520});
    setCentralWidget(splitter);
    resize(760, 560);
    setMinimumWidth(320);  // narrower, the page no longer reads

    connect(m_pages, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item && item->data(Qt::UserRole).toString() != m_shown) showPage(item->data(Qt::UserRole).toString());
    });
    // The browser announces the new page before source() says it: the list follows the signal's URL.
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this](const QUrl& url) { syncList(url.path().section(QLatin1Char('/'), -1)); });
    showPage(QStringLiteral("contents.html"));
}

void HelpWindow::showPage(const QString& page) { m_browser->setSource(QUrl(page)); }

QString HelpWindow::currentPage() const { return m_browser->source().path().section(QLatin1Char('/'), -1); }

QStringList HelpWindow::pageNames() {
    return {QStringLiteral("contents.html"), QStringLiteral("arm.html"),    QStringLiteral("ga.html"),
            QStringLiteral("operators.html"), QStringLiteral("charts.html"), QStringLiteral("experiment.html")};
}

QString HelpWindow::pageFolder() {
    RegisterHelpPages();
    //: The folder of the help pages in this language: "ja" or "en".
    return QStringLiteral(":/help/") + tr("ja");
}

QString HelpWindow::pageTitle(const QString& folder, const QString& page) {
    QFile file(folder + QLatin1Char('/') + page);
    if (!file.open(QIODevice::ReadOnly)) return {};
    static const QRegularExpression title(QStringLiteral("<title>(.*)</title>"));
    return title.match(QString::fromUtf8(file.readAll())).captured(1);
}

void HelpWindow::syncList(const QString& page) {
    for (int row = 0; row < m_pages->count(); ++row) {
        if (m_pages->item(row)->data(Qt::UserRole).toString() == page) {
            m_shown = page;
            if (m_pages->currentRow() != row) m_pages->setCurrentRow(row);
            return;
        }
    }
}

}  // namespace kelvora::ui
