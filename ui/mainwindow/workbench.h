#pragma once
// The program's window: the main dialog in the middle, untouched, with a strip under it for the
// seed and the best arm's pose, and every further view (evolution, microscope, landscape,
// experiment, help, operators) as a dock beside it that the person may move, tab, float and close. The
// arrangement is kept between sessions; 表示 → レイアウトを元に戻す puts the views back beside the
// dialog as a newly opened one goes.

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QMainWindow>
#include <QStringList>

class QDockWidget;
class QLabel;
class QLineEdit;
class QToolButton;

namespace kelvora::ui {

class CSolverDlg;

class Workbench : public QMainWindow {
    Q_OBJECT

public:
    /// Holds dialog (taken over, not yet shown) as its central widget and docks the views it opens.
    explicit Workbench(CSolverDlg* dialog);
    ~Workbench() override;

    /// Settings keys (AppSettings): the window's geometry, its docks' arrangement (saveState bytes)
    /// and the object names of the docks open as the program ended.
    static constexpr const char* kGeometryKey = "workbench/geometry";
    static constexpr const char* kStateKey = "workbench/state";
    static constexpr const char* kViewsKey = "workbench/views";

    /// The dock that holds view, or nullptr.
    QDockWidget* dockOf(const QWidget* view) const;
    /// Puts every docked view back beside the dialog, tabbed together, as a newly opened one goes.
    void resetLayout();

    /// What the seed field holds: nullopt for 自動 (empty, or the word), else the seed; false when
    /// text is neither (a number out of 0..4294967295, or not a number).
    static bool ParseSeed(const QString& text, std::optional<std::uint32_t>& seed);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// Shows view in its dock, made on first use beside the dialog (or where the kept arrangement has it).
    void dock(QWidget* view);
    /// A dock newly shown goes beside the dialog: tabbed with the views docked there, else into the
    /// right area, the window grown to hold it where the screen has room.
    void place(QDockWidget* dock);
    QList<QDockWidget*> docks() const;
    QWidget* makeStrip();
    void showBestPose();
    void saveLayout();
    void reopenViews();

    CSolverDlg* m_dialog;
    QLineEdit* m_seed = nullptr;
    QToolButton* m_keepSeed = nullptr;
    QLabel* m_pose = nullptr;
    std::optional<std::uint32_t> m_lastSeed;
    bool m_closeAgreed = false;
    bool m_inCloseEvent = false;
    bool m_shown = false;
};

}  // namespace kelvora::ui
