#pragma once
// The window's message boxes go through one replaceable function, so that tests can record a box
// instead of waiting on a modal one. One rule keeps every message on top and answerable: a
// progress dialog ends (EndProgress) before anything about its work is told, and a box stands over
// the top window of the widget it is shown for.

#include <QMessageBox>
#include <QString>

class QProgressDialog;
class QWidget;

namespace kelvora::ui {

/// Shows a message box with an OK button over parent and returns when it is closed.
using MessageBoxFunction = void (*)(QWidget* parent, QMessageBox::Icon icon, const QString& text);

/// Shows text in the current message-box function (a modal QMessageBox titled "Kelvora" over
/// parent's top window, unless a test has swapped it).
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);

/// Ends progress before its outcome is told: its timers stop (its own, which would show it later,
/// and any child that feeds it), it is hidden and taken from its parent at once, and deleted once
/// control is back in the event loop, since its setValue, which processes events, may be what runs
/// the caller.
void EndProgress(QProgressDialog* progress);

/// Replaces the message-box function and returns the one it replaced; nullptr restores the modal box.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

}  // namespace kelvora::ui
