#pragma once
// The About box: the program's icon, its name and version, and OK. Modal over
// the main dialog; OK, Escape and the close button return.

#include <QDialog>

#include "common/resource.h"

namespace kelvora::ui {

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    /// The box over parent (the main dialog), modal.
    explicit CAboutDlg(QWidget* parent = nullptr);

    /// Runs the box modally until it is closed (through the current modal-loop function) and
    /// returns QDialog::Accepted for OK, QDialog::Rejected for Escape and the close button.
    int DoModal();

    /// Client-area size in pixels: 411 x 89.
    static QSize clientSize();
};

/// Runs a dialog modally and returns its result: QDialog::exec unless a test has swapped it, so that
/// a test can look at the box that was built and close it without waiting on a modal loop.
using ModalLoopFunction = int (*)(QDialog& dialog);

/// Replaces the modal-loop function and returns the one it replaced; nullptr restores exec.
ModalLoopFunction SetModalLoopFunction(ModalLoopFunction function);

/// Runs dialog through the current modal-loop function and returns its result.
int RunModalLoop(QDialog& dialog);

}  // namespace kelvora::ui
