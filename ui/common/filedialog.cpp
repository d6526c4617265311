#include "common/filedialog.h"

#include <algorithm>

#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace kelvora::ui {

namespace {

QString Run(QFileDialog& dialog) {
    // Room for the list's four columns at the dialog's font: about 100 characters wide.
    const QFontMetrics metrics = dialog.fontMetrics();
    dialog.resize(std::max(dialog.width(), 100 * metrics.averageCharWidth()),
                  std::max(dialog.height(), 26 * metrics.height()));
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        // Size, type and date as wide as their texts; the name takes the rest.
        QHeaderView* header = list->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

}  // namespace

QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& directory, const QString& filter) {
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Run(dialog);
}

QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter) {
    QFileDialog dialog(parent, caption, path, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return Run(dialog);
}

}  // namespace kelvora::ui
