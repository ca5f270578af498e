#pragma once
// The configuration tree the views render, with the document's selection and
// the observers it tells of every change. The editor and the exchange runs
// change the tree only through it, so that an item model can follow exactly.
#include "doc/DocObserver.h"
#include "doc/TreeModel.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tornu {

class CDevice;
class CTerminal;

class CConfigTree {
public:
    using TerminalList = std::vector<std::unique_ptr<CTerminal>>;

    // The tree of these terminals; it is filled when asked.
    explicit CConfigTree(const TerminalList& terminals) : terminals_(terminals) {}
    CConfigTree(const CConfigTree&) = delete;
    CConfigTree& operator=(const CConfigTree&) = delete;

    void AddObserver(IDocObserver& observer);
    void RemoveObserver(IDocObserver& observer);

    // The selected item; null when there is none. The right pane shows it.
    CTreeNode* Selected() const { return selected_; }
    // The selection changed: the right pane follows it.
    void Select(CTreeNode* node);
    // "Показывать структуру": the tree is built anew the other way, with
    // nothing selected.
    void ToggleStructure();
    bool ShowStructure() const { return showStructure_; }
    Pane RightPane() const { return pane_; }

    // Lookups in the tree as it stands.
    const CTreeModel& Model() const { return model_; }
    CTreeNode* Find(const CTerminal& terminal) const { return model_.Find(terminal); }
    CTreeNode* Find(const CDevice& device) const { return model_.Find(device); }
    void ForEach(const std::function<void(CTreeNode&)>& visit) const { model_.ForEach(visit); }

    // ---- For the document's parts.

    // Nothing selected, the empty pane.
    void ShowNothing();
    void Fill();
    void Clear();
    CTreeNode& InsertTerminal(CTerminal& terminal);
    // Without the structure every device stands at the root, as a fill puts it.
    CTreeNode& InsertDevice(CTreeNode* parent, CDevice& device);
    // The item's record was renamed: new label, moved to its sorted place.
    void Relabel(CTreeNode& node);
    // Every item whose record goes with `node`'s record, `node` first: each
    // view lets go of them, then the items leave the tree.
    void RemoveWithRecords(CTreeNode& node);

    void NodeChanged(CTreeNode& node, const IDocObserver* sender = nullptr);
    void ExchangeStarted(CTreeNode& node);
    void ExchangeEnded(CTreeNode& node);

private:
    void Tell(const std::function<void(IDocObserver&)>& call, const IDocObserver* sender = nullptr);
    // Tells the items whose pending marks came or went, but `told`.
    void TellPendingFlips(const CTreeNode* told);
    void ShowPane(Pane pane);
    CTreeNode& InsertItem(CTreeNode* parent, std::unique_ptr<CTreeNode> node);
    void RemoveItem(CTreeNode& node);
    std::vector<CTreeNode*> DoomedItems(CTreeNode& node) const;

    const TerminalList& terminals_;
    std::vector<IDocObserver*> observers_;
    CTreeModel model_;
    CTreeNode* selected_ = nullptr;
    bool showStructure_ = true;
    Pane pane_ = Pane::Empty;
};

} // namespace tornu
