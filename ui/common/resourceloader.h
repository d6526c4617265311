#pragma once
// Loads the program's resources by their ids (resource.h): the pictures compiled in from
// res/kelvora.qrc and the string table.

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QString>

namespace kelvora::ui {

/// Icon IDI_APP: its 32 x 32 and 16 x 16 images. Null for an unknown id.
QIcon LoadIconResource(int id);

/// Bitmap IDB_BASE_MARK, unchanged. Null for an unknown id.
QImage LoadBitmapResource(int id);

/// Cursor IDC_PICK_CURSOR: the 32 x 32 monochrome pick cursor with its hot spot at the arrow's tip,
/// (1, 1). Like a cursor loaded from a program's resources it is shared: every load returns the same
/// cursor, which lives until the application object goes. Any other id gives the standard arrow.
QCursor LoadCursorResource(int id);

/// String IDS_ABOUT_MENU in the window's language (see uilanguage.h); empty for an unknown id.
QString LoadStringResource(int id);

}  // namespace kelvora::ui
