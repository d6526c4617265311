#pragma once
// Where the window keeps what it remembers between sessions.

#include <QSettings>

namespace kelvora::ui {

/// The one settings store of the program, ~/.config/Kelvora/Kelvora.conf on Linux: the menu's
/// check marks, the evolution window's geometry, whether it was moved, and its open state. Named
/// explicitly, so it does not depend on the application's metadata having been set first.
QSettings AppSettings();

}  // namespace kelvora::ui
