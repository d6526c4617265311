#pragma once
// The window's message boxes go through one replaceable function, so that tests can record a box
// instead of waiting on a modal one.

#include <QMessageBox>
#include <QString>

class QWidget;

namespace kelvora::ui {

/// Shows a message box with an OK button over parent and returns when it is closed.
using MessageBoxFunction = void (*)(QWidget* parent, QMessageBox::Icon icon, const QString& text);

/// Shows text in the current message-box function (a modal QMessageBox titled "Kelvora" unless a
/// test has swapped it).
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);

/// Replaces the message-box function and returns the one it replaced; nullptr restores the modal box.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

}  // namespace kelvora::ui
