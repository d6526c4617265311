#pragma once
// The help window "Kelvora — ヘルプ": pages shipped in the program, in the window's language, that
// explain the arm, the genetic algorithm step by step, each operator with a small figure, how to read
// the charts and statistics, and a first experiment to follow. A list of the pages on the left, the
// page on the right; links between pages work as in a browser.

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QListWidget;
class QTextBrowser;

namespace kelvora::ui {

class HelpWindow : public QMainWindow {
    Q_OBJECT

public:
    /// A top-level window (parent owns it) showing the contents page.
    explicit HelpWindow(QWidget* parent = nullptr);

    /// Shows page, a file name of pageNames() with an optional "#anchor" ("operators.html#encoding").
    void showPage(const QString& page);

    /// The pages in the order of the contents list, the contents page first.
    static QStringList pageNames();

    /// The resource folder of the pages in the window's language (":/help/ja", ":/help/en").
    static QString pageFolder();

    /// The title of page (its <title>) in folder; empty when the page is missing.
    static QString pageTitle(const QString& folder, const QString& page);

private:
    // Read by the tests through HelpWindowTestAccess (defined in tests/ui/tst_help.cpp).
    friend struct HelpWindowTestAccess;

    /// The file name of the page shown ("operators.html"), without its anchor.
    QString currentPage() const;
    void syncList(const QString& page);

    QListWidget* m_pages = nullptr;
    QTextBrowser* m_browser = nullptr;
    QString m_shown;  // the page the list was last synchronised to
};

}  // namespace kelvora::ui
