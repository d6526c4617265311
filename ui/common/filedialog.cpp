#include "common/filedialog.h"

#include <algorithm>

#include <QDateTime>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

#include "session/ui_language.h"

namespace kelvora::ui {

namespace {

// The list's dates in the interface's language: the file model writes them in the system locale's,
// which is C or English under a Japanese interface as often as not.
class InterfaceDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (index.column() == kDateColumn && role == Qt::DisplayRole)
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel()))
                return m_locale.toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int kDateColumn = 3;  // name, size, type, date
    const QLocale m_locale{QLocale::Japanese, QLocale::Japan};
};

QString Run(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (!kelvora::session::EnglishFromEnvironment()) dialog.setProxyModel(new InterfaceDates(&dialog));
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
