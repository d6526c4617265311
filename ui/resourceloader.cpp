#include "resourceloader.h"

#include "resource.h"

// The pictures live in a static library; registering them here also makes the linker keep them.
static void InitPictureResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(kelvora);
        return true;
    }();
    (void)registered;
}

QIcon LoadIconResource(int id) {
    InitPictureResources();
    QIcon icon;
    if (id == IDI_APP) {
        icon.addFile(QStringLiteral(RES_APP_ICON_32), QSize(32, 32));
        icon.addFile(QStringLiteral(RES_APP_ICON_16), QSize(16, 16));
    }
    return icon;
}

QImage LoadBitmapResource(int id) {
    InitPictureResources();
    if (id == IDB_BASE_MARK) return QImage(QStringLiteral(RES_BASE_MARK));
    return QImage();
}
