#pragma once
// The main window: menus, toolbar and status bar, the tree on the left and
// the option view of the selected node on the right. Its commands call the
// document; what it shows comes from the document's hints.
#include "doc/DocObserver.h"

#include <QMainWindow>

#include <memory>

class QMessageBox;
class QSplitter;
class QStackedWidget;
class QToolBar;

namespace tornu {
class CTornuCfgDoc;
}

namespace tornu::ui {

class CBatchDlg;
class CDeviceOptionsView;
class CQtOperator;
class CTerminalOptionsView;
class CTerminalView;

inline constexpr int kTreeIdealWidth = 400;
inline constexpr int kTreeMinimumWidth = 50;

class CMainFrame : public QMainWindow, public IDocObserver {
    Q_OBJECT
public:
    CMainFrame(CTornuCfgDoc& doc, CQtOperator& op, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The saved size and the title, then the document's start: the login,
    // the catalogue, the configuration, the tree. False when the program
    // must end.
    bool Start();

    CTerminalView& TreePane() const { return *tree_; }
    CTerminalOptionsView& TerminalOptions() const { return *terminalOptions_; }
    CDeviceOptionsView& DeviceOptions() const { return *deviceOptions_; }
    QWidget* EmptyView() const { return emptyView_; }
    // What stands in the right pane now.
    QWidget* RightPane() const;
    QSplitter* Splitter() const { return splitter_; }
    // Availability of the commands that depend on the tree's current item,
    // as when a menu opens.
    void UpdateCommands();
    // "О программе ...": the icon, the program's version and OK.
    std::unique_ptr<QMessageBox> AboutBox();

    // "Пакетный обмен", made on first use and kept: a job runs on while it is hidden.
    CBatchDlg& BatchWindow();

    void OnPaneChanged(Pane pane) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenus();
    // A main menu entry named `name` (how tests find it).
    QAction* AddCommand(QMenu* menu, const char* name, const char* caption);
    void RestoreWindowSize();
    void SaveWindowSize();
    void SetTitle();
    void About();
    void Help();
    void DistributeLoops();
    void ModemPort();

    CTornuCfgDoc& doc_;
    CQtOperator& operator_;
    QSplitter* splitter_;
    CTerminalView* tree_;
    QStackedWidget* pane_;
    QWidget* emptyView_;
    CTerminalOptionsView* terminalOptions_;
    CDeviceOptionsView* deviceOptions_;
    QToolBar* toolBar_ = nullptr;
    QAction* runCommands_ = nullptr;
    QAction* writePending_ = nullptr;
    QAction* distributeLoops_ = nullptr;
    QAction* nodeHistory_ = nullptr;
    QAction* compare_ = nullptr;
    CBatchDlg* batch_ = nullptr;
    bool sizeSaved_ = false;
    bool shown_ = false;
};

} // namespace tornu::ui
