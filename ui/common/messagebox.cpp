#include "common/messagebox.h"

#include <QWidget>

namespace kelvora::ui {

namespace {

void ShowModalMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QStringLiteral("Kelvora"), text, QMessageBox::Ok, parent);
    // A box is a window of its own and does not take its parent's font; give it the dialog's face,
    // which has the Japanese glyphs, rather than whatever fontconfig falls back to.
    if (parent) box.setFont(parent->window()->font());
    box.exec();
}

MessageBoxFunction g_messageBox = ShowModalMessageBox;

}  // namespace

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    g_messageBox(parent, icon, text);
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = g_messageBox;
    g_messageBox = function ? function : ShowModalMessageBox;
    return previous;
}

}  // namespace kelvora::ui
