#include "app/solverapp.h"

#include <QFont>
#include <QTimer>
#include <QToolTip>

#include "model/kelvora_version.h"
#include "common/resource.h"
#include "common/resourceloader.h"
#include "mainwindow/solverdlg.h"
#include "mainwindow/workbench.h"
#include "app/uilanguage.h"

namespace kelvora::ui {

CSolverApp::CSolverApp(int& argc, char** argv) : QApplication(argc, argv) {
    SetApplicationMetadata();
    InstallFontSubstitutions();
    InstallUiTranslation();  // English for an English UI language, else the Japanese source texts
    // Tooltips (the seed of the last run) are windows of their own: the dialog's face for them too.
    QToolTip::setFont(QFont(QStringLiteral("IPAPGothic"), 9));
}

void CSolverApp::SetApplicationMetadata() {
    QCoreApplication::setApplicationName(QStringLiteral("Kelvora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVORA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.kelvora.Kelvora"));  // res/io.github.kelvora.Kelvora.desktop
    QGuiApplication::setWindowIcon(LoadIconResource(IDI_APP));
}

void CSolverApp::InstallFontSubstitutions() {
    const QString face = QStringLiteral("IPAPGothic");
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), face);
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), face);
}

bool CSolverApp::InitInstance(SolverState& state) {
    // The dialog in the middle of the program's one window, the further views docked beside it.
    // Closing that window, the last, ends the loop.
    auto* dlg = new CSolverDlg(state);
    Workbench window(dlg);
    // `kelvora FILE`: the window opens with that results.csv (the first argument that is not an
    // option; Qt has taken its own options out already).
    const QStringList args = arguments().mid(1);
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1Char('-'))) continue;
        QTimer::singleShot(0, dlg, [dlg, arg] { dlg->openResults(arg); });
        break;
    }
    window.show();
    exec();
    return false;
}

}  // namespace kelvora::ui
