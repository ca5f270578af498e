#pragma once
// The left pane: the filter box and the tree of terminals and devices, with
// the tree's context menus and the commands they run. Every command calls a
// document operation; the tree itself only renders the document's tree.
#include "doc/DocObserver.h"

#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QMenu;
class QModelIndex;
class QTreeView;

namespace tornu {
class CTornuCfgDoc;
}

namespace tornu::ui {

class CQtOperator;
class CTreeFilterModel;
class CTreeItemModel;

class CTerminalView : public QWidget, public IDocObserver {
    Q_OBJECT
public:
    CTerminalView(CTornuCfgDoc& doc, CQtOperator& op, QWidget* parent = nullptr);
    ~CTerminalView() override;

    QTreeView* Tree() const { return tree_; }
    QLineEdit* Filter() const { return filter_; }
    CTreeItemModel& Model() const { return *model_; }
    // The item last selected or last right-clicked.
    CTreeNode* Current() const { return current_; }
    // Selects the node's item (null: nothing), as a click would.
    void SelectNode(CTreeNode* node);
    // Selects the node's item, opens it and scrolls it into sight.
    void Reveal(CTreeNode& node);
    // The terminals of the selected items (Ctrl and Shift select several),
    // and of every item the filter box lets through, each once, in tree order.
    std::vector<int> SelectedTerminals() const;
    std::vector<int> ShownTerminals() const;

    // The pop-up for `node` ("TermNew" for none), each action bound to its
    // handler for `node`; null when none is offered.
    std::unique_ptr<QMenu> MenuFor(CTreeNode* node);
    // Opens the pop-up for `node` at a global position; the choice runs.
    void OpenMenu(CTreeNode* node, const QPoint& at);

    void OnSelectionChanged(CTreeNode* node) override;
    void OnTreeResetting() override;
    void OnItemRemoving(CTreeNode& node) override;

private:
    // The tree's selection handed to the document: after the event that
    // changed it, so that a selection Qt moves while the document removes
    // items never points a view at an item on its way out.
    void OnTreeSelectionChanged();
    void ApplySelection();
    void OnDoubleClicked(const QModelIndex& index);
    void OnKey(int key);
    CTreeNode* NodeAt(const QModelIndex& proxyIndex) const;
    QModelIndex ProxyIndexOf(CTreeNode* node) const;
    void ExpandAfterChange();

    void RunCommands(CTreeNode& node);
    void NewTerminal();
    void EditTerminal(CTreeNode& node);
    void NewDevice(CTreeNode& parent);
    void EditDevice(CTreeNode& node);
    void ShowPhoneBook(CTreeNode& node);
    void ShowKeys(CTreeNode& node);
    // The phone-book and key-list file commands: the file asked for, then
    // `apply` with its path.
    void ListFile(bool load, const std::function<void(const std::string&)>& apply);

    CTornuCfgDoc& doc_;
    CQtOperator& operator_;
    CTreeItemModel* model_;
    CTreeFilterModel* proxy_;
    QLineEdit* filter_;
    QTreeView* tree_;
    CTreeNode* current_ = nullptr;
    bool selectionPending_ = false;
};

} // namespace tornu::ui
