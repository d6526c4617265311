#include "app/solverapp.h"

#include <QFont>
#include <QTimer>
#include <QToolTip>

#include "model/kelvora_version.h"
#include "common/resource.h"
#include "common/resourceloader.h"
#include "mainwindow/solverdlg.h"
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
    // Shown as the application's own window, not run modally: a modal window is marked as one to
    // the window manager, which may then keep it off the taskbar. Closing it, the last window, ends
    // the loop.
    CSolverDlg dlg(state);
    // `kelvora FILE`: the window opens with that results.csv (the first argument that is not an
    // option; Qt has taken its own options out already).
    const QStringList args = arguments().mid(1);
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1Char('-'))) continue;
        QTimer::singleShot(0, &dlg, [&dlg, arg] { dlg.openResults(arg); });
        break;
    }
    dlg.show();
    exec();
    return false;
}

}  // namespace kelvora::ui
