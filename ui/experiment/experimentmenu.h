#pragma once
// The experiment window's ファイル menu: what each entry asks for (a file to open or save) and what
// it hands to the window.

#include <functional>

#include <QByteArray>
#include <QString>

class QMainWindow;
class QWidget;

namespace kelvora::ui {

/// What the menu's entries do once a path has been chosen.
struct ExperimentMenuActions {
    std::function<void(const QString& path)> openSweep;
    std::function<void(const QString& path)> openExperiment;
    std::function<void(const QString& path)> saveExperiment;
    std::function<QByteArray()> runsCsv;
    std::function<void(const QString& path)> runsSaved;  ///< the runs CSV was written at path
    std::function<QByteArray()> summaryCsv;
    std::function<void()> summarySaved;
    std::function<QByteArray()> statisticsCsv;
    std::function<void(bool svg)> savePlot;
    std::function<QString()> reportRefusal;              ///< why no report can be written now, or ""
    std::function<void(const QString& path)> exportReport;
};

/// Adds the menu to window's menu bar; its keys (open, close) act where the focus is in window.
void AddExperimentMenu(QMainWindow* window, const ExperimentMenuActions& actions);

/// The question whether runs not saved may be dropped, in a window-modal box over parent:
/// answer(true) for "保存せずに閉じる".
void AskDiscardBox(QWidget* parent, const QString& text, std::function<void(bool discard)> answer);

/// Asks over parent where to save a CSV and writes bytes whole; the path written, or "" (cancelled,
/// or a message box said why not).
QString SaveTextAs(QWidget* parent, const QString& title, const QString& name, const QByteArray& bytes);

}  // namespace kelvora::ui
