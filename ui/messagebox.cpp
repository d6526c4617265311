#include "messagebox.h"

namespace {

void ShowModalMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QStringLiteral("Kelvora"), text, QMessageBox::Ok, parent);
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
