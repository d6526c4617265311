#include "solverapp.h"

#include <QFont>

#include "solverdlg.h"

CSolverApp::CSolverApp(int& argc, char** argv) : QApplication(argc, argv) { InstallFontSubstitutions(); }

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
