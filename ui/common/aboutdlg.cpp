#include "common/aboutdlg.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

#include "common/resourceloader.h"

namespace kelvora::ui {

namespace {

int RunExec(QDialog& dialog) { return dialog.exec(); }

ModalLoopFunction g_modalLoop = RunExec;

// The box's client size in pixels (IPAPGothic 9 pt at 96 DPI).
constexpr int kClientWidth = 411;
constexpr int kClientHeight = 89;

}  // namespace

ModalLoopFunction SetModalLoopFunction(ModalLoopFunction function) {
    ModalLoopFunction previous = g_modalLoop;
    g_modalLoop = function ? function : RunExec;
    return previous;
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("Kelvoraのﾊﾞｰｼﾞｮﾝ情報"));
    setFont(QFont(QStringLiteral("IPAPGothic"), 9));  // "ＭＳ Ｐゴシック" 9 pt, as in the main dialog
    setModal(true);
    setFixedSize(clientSize());  // a modal frame: no sizing border

    // The static icon draws the 32 x 32 image at the top left of its place, as the platform's
    // icon controls do, whatever size its place has.
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("IDI_APP"));
    icon->setPixmap(LoadIconResource(IDI_APP).pixmap(32, 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    icon->setGeometry(19, 28, 35, 33);

    auto* version = new QLabel(tr("Kelvora Version 1.0"), this);
    version->setTextFormat(Qt::PlainText);  // no access-key prefix
    version->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    version->setGeometry(70, 16, 208, 13);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setGeometry(312, 11, 88, 23);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus(Qt::OtherFocusReason);
}

QSize CAboutDlg::clientSize() {
    return QSize(kClientWidth, kClientHeight);
}

int CAboutDlg::DoModal() { return RunModalLoop(*this); }

int RunModalLoop(QDialog& dialog) { return g_modalLoop(dialog); }

}  // namespace kelvora::ui
