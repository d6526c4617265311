#pragma once
// Files the windows and `kelvora --plot` write (pictures, exported tables) replaced whole: the
// bytes go to a temporary file beside the file and a rename puts them in place, so that a failed
// write (a full disk) leaves the old file as it was.

#include <QByteArray>
#include <QString>

namespace kelvora::ui {

/// Writes bytes as the file at path, the name as the file system spells it (QFile::encodeName of
/// a name the window has; a command line's argument byte for byte, so that a name that is not
/// UTF-8 is kept). A regular file, or none, is replaced through "NAME.part" and a rename (a link's
/// target is replaced, the link kept); a character device (/dev/null) is written as it is; anything
/// else (a FIFO, a socket, a directory) is refused unopened, so nothing blocks. Returns "" or the
/// reason, in the system's words.
QString WriteWholeFile(const QByteArray& path, const QByteArray& bytes);

}  // namespace kelvora::ui
