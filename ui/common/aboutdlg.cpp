#include "common/aboutdlg.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

#include "common/dialogunits.h"
#include "common/resourceloader.h"

namespace kelvora::ui {

namespace {

int RunExec(QDialog& dialog) { return dialog.exec(); }

ModalLoopFunction g_modalLoop = RunExec;

// Template IDD_ABOUT in dialog units.
constexpr int kTemplateWidth = 235;
constexpr int kTemplateHeight = 55;

}  // namespace

ModalLoopFunction SetModalLoopFunction(ModalLoopFunction function) {
    ModalLoopFunction previous = g_modalLoop;
    g_modalLoop = function ? function : RunExec;
    return previous;
}

CAboutDlg::CAboutDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("Kelvoraのﾊﾞｰｼﾞｮﾝ情報"));
    setFont(QFont(QStringLiteral("IPAPGothic"), 9));  // the template's "ＭＳ Ｐゴシック" 9 pt, as in the main dialog
    setModal(true);
    setFixedSize(ClientSize());  // a modal frame: no sizing border

    // The static icon draws the 32 x 32 image at the top left of its place, as the platform's
    // icon controls do, whatever size the template gives.
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("IDI_APP"));
    icon->setPixmap(LoadIconResource(IDI_APP).pixmap(32, 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    icon->setGeometry(DialogUnitsToPixels(11, 17, 20, 20));

    auto* version = new QLabel(tr("Kelvora Version 1.0"), this);
    version->setTextFormat(Qt::PlainText);  // no access-key prefix
    version->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    version->setGeometry(DialogUnitsToPixels(40, 10, 119, 8));

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setProperty("controlId", IDOK);
    ok->setDefault(true);
    ok->setGeometry(DialogUnitsToPixels(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus(Qt::OtherFocusReason);
}

QSize CAboutDlg::ClientSize() {
    return QSize(DialogUnitsToPixelsX(kTemplateWidth), DialogUnitsToPixelsY(kTemplateHeight));
}

int CAboutDlg::DoModal() { return RunModalLoop(*this); }

int RunModalLoop(QDialog& dialog) { return g_modalLoop(dialog); }

}  // namespace kelvora::ui
