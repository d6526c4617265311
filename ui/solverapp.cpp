#include "solverapp.h"

#include <QFont>
#include <QToolTip>

#include "kelvora_version.h"
#include "resource.h"
#include "resourceloader.h"
#include "solverdlg.h"

CSolverApp::CSolverApp(int& argc, char** argv) : QApplication(argc, argv) {
    SetApplicationMetadata();
    InstallFontSubstitutions();
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

bool CSolverApp::InitInstance() {
    CSolverDlg dlg;
    m_pMainWnd = &dlg;
    dlg.exec();
    m_pMainWnd = nullptr;
    return false;
}

kelvora::SolverState& TheSolverState() {
    static kelvora::SolverState state;
    return state;
}
