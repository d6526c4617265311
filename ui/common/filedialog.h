#pragma once
// The program's file dialogs: Qt's own dialogs, sized so that the name, size, type and date
// columns of their file list show whole.

#include <QString>

class QWidget;

namespace kelvora::ui {

/// Asks for an existing file to open, starting in directory (empty: the current one), with
/// filter's name patterns ("結果ファイル (*.csv);;..."). Returns its path, or empty when cancelled.
QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& directory, const QString& filter);

/// Asks for a file to save, starting at path (a name or a path), with filter's name patterns.
/// Returns the path chosen, or empty when cancelled.
QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter);

}  // namespace kelvora::ui
