#pragma once
// Loads the pictures compiled in from res/kelvora.qrc by their resource ids (resource.h).

#include <QIcon>
#include <QImage>

/// Icon IDI_APP: its 32 x 32 and 16 x 16 images. Null for an unknown id.
QIcon LoadIconResource(int id);

/// Bitmap IDB_BASE_MARK, unchanged. Null for an unknown id.
QImage LoadBitmapResource(int id);
