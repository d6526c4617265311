#pragma once
// Telling the person's input apart from the events a window sends itself.

#include <QEvent>

namespace kelvora::ui {

/// Whether an event of type type comes from the person: keys and shortcuts, mouse buttons, moves
/// and wheel, context menus, input methods, drag and drop, touch and pen.
bool IsUserInput(QEvent::Type type);

}  // namespace kelvora::ui
