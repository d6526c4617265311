#include "common/resourceloader.h"

#include <optional>

#include <QBitmap>
#include <QCoreApplication>

#include "common/resource.h"

// The pictures live in a static library; registering them here also makes the linker keep them. Outside
// any namespace, as Q_INIT_RESOURCE must be.
static void InitPictureResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(kelvora);
        return true;
    }();
    (void)registered;
}

namespace kelvora::ui {

QIcon LoadIconResource(int id) {
    InitPictureResources();
    QIcon icon;
    if (id == IDI_APP) {
        icon.addFile(QString::fromLatin1(RES_APP_ICON_32), QSize(32, 32));
        icon.addFile(QString::fromLatin1(RES_APP_ICON_16), QSize(16, 16));
    }
    return icon;
}

QImage LoadBitmapResource(int id) {
    InitPictureResources();
    if (id == IDB_BASE_MARK) return QImage(QString::fromLatin1(RES_BASE_MARK));
    return QImage();
}

namespace {

// The shared pick cursor. It holds pixmaps, which must go before the window system does, so the
// application object's teardown drops it (qAddPostRoutine) rather than the end of the process.
std::optional<QCursor>& SharedPickCursor() {
    static std::optional<QCursor> cursor;
    return cursor;
}

void DropSharedCursors() { SharedPickCursor().reset(); }

}  // namespace

QCursor LoadCursorResource(int id) {
    if (id != IDC_PICK_CURSOR) return QCursor(Qt::ArrowCursor);
    std::optional<QCursor>& cursor = SharedPickCursor();
    if (!cursor) {
        InitPictureResources();
        // Image bit 1 is black, 0 white; mask bit 1 opaque, 0 clear.
        const QBitmap image = QBitmap::fromImage(QImage(QString::fromLatin1(RES_PICK_CURSOR)));
        const QBitmap mask = QBitmap::fromImage(QImage(QString::fromLatin1(RES_PICK_CURSOR_MASK)));
        cursor.emplace(image, mask, PICK_CURSOR_HOT_X, PICK_CURSOR_HOT_Y);
        qAddPostRoutine(DropSharedCursors);
    }
    return *cursor;
}

QString LoadStringResource(int id) {
    switch (id) {
    case IDS_ABOUT_MENU:
        // Half-width katakana, as the entry has always read; "&A" makes A its access key. The string
        // table's texts are translated in the context "StringTable".
        return QCoreApplication::translate("StringTable", "Kelvora のﾊﾞｰｼﾞｮﾝ情報(&A)...");
    default:
        return QString();
    }
}

}  // namespace kelvora::ui
