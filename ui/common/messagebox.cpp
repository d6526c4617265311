#include "common/messagebox.h"

#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

namespace kelvora::ui {

namespace {

void ShowModalMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    // Over the top window, never over a dialog that may go while the box is open.
    QWidget* window = parent ? parent->window() : nullptr;
    QMessageBox box(icon, QStringLiteral("Kelvora"), text, QMessageBox::Ok, window);
    // A box is a window of its own and does not take its parent's font; give it the dialog's face,
    // which has the Japanese glyphs, rather than whatever fontconfig falls back to.
    if (window) box.setFont(window->font());
    box.exec();
}

MessageBoxFunction g_messageBox = ShowModalMessageBox;

}  // namespace

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    g_messageBox(parent, icon, text);
}

void EndProgress(QProgressDialog* progress) {
    for (QTimer* timer : progress->findChildren<QTimer*>()) timer->stop();
    progress->hide();
    progress->setParent(nullptr);  // no longer among its window's children, whatever comes next
    progress->deleteLater();
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = g_messageBox;
    g_messageBox = function ? function : ShowModalMessageBox;
    return previous;
}

}  // namespace kelvora::ui
