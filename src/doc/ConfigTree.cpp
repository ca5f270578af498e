#include "doc/ConfigTree.h"

#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"

#include <algorithm>
#include <unordered_set>

namespace tornu {

void CConfigTree::AddObserver(IDocObserver& observer) {
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end())
        observers_.push_back(&observer);
}

void CConfigTree::RemoveObserver(IDocObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer),
                     observers_.end());
}

void CConfigTree::Tell(const std::function<void(IDocObserver&)>& call,
                       const IDocObserver* sender) {
    // A copy: a view may register or leave while it is told.
    const std::vector<IDocObserver*> observers = observers_;
    for (IDocObserver* observer : observers)
        if (observer != sender)
            call(*observer);
}

void CConfigTree::ShowPane(Pane pane) {
    pane_ = pane;
    Tell([&](IDocObserver& observer) { observer.OnPaneChanged(pane); });
}

void CConfigTree::ShowNothing() {
    selected_ = nullptr;
    Tell([](IDocObserver& observer) { observer.OnShowNode(nullptr); });
    ShowPane(Pane::Empty);
    Tell([](IDocObserver& observer) { observer.OnSelectionChanged(nullptr); });
}

void CConfigTree::Select(CTreeNode* node) {
    if (!node) {
        ShowNothing();
        return;
    }
    selected_ = node;
    ShowPane(node->Kind() == NodeKind::Terminal ? Pane::TerminalOptions : Pane::DeviceOptions);
    Tell([&](IDocObserver& observer) { observer.OnShowNode(node); });
    Tell([&](IDocObserver& observer) { observer.OnSelectionChanged(node); });
}

void CConfigTree::Fill() {
    Tell([](IDocObserver& observer) { observer.OnTreeResetting(); });
    model_.Fill(terminals_, showStructure_);
    Tell([](IDocObserver& observer) { observer.OnTreeReset(); });
}

void CConfigTree::Clear() {
    selected_ = nullptr;
    Tell([](IDocObserver& observer) { observer.OnTreeResetting(); });
    model_.Clear();
    Tell([](IDocObserver& observer) { observer.OnTreeReset(); });
}

void CConfigTree::ToggleStructure() {
    ShowNothing();
    Clear();
    showStructure_ = !showStructure_;
    Fill();
}

CTreeNode& CConfigTree::InsertItem(CTreeNode* parent, std::unique_ptr<CTreeNode> node) {
    const std::size_t row = model_.InsertRow(parent, node->Label());
    Tell([&](IDocObserver& observer) { observer.OnItemInserting(parent, row); });
    CTreeNode& item = model_.Insert(parent, std::move(node));
    Tell([&](IDocObserver& observer) { observer.OnItemInserted(item); });
    return item;
}

CTreeNode& CConfigTree::InsertTerminal(CTerminal& terminal) {
    return InsertItem(nullptr, std::make_unique<CTreeNode>(terminal, TerminalLabel(terminal)));
}

CTreeNode& CConfigTree::InsertDevice(CTreeNode* parent, CDevice& device) {
    return InsertItem(showStructure_ ? parent : nullptr,
                      std::make_unique<CTreeNode>(device, DeviceLabel(device, showStructure_)));
}

void CConfigTree::Relabel(CTreeNode& node) {
    std::string label = node.Device() ? DeviceLabel(*node.Device(), showStructure_)
                                      : TerminalLabel(node.Terminal());
    const std::size_t from = model_.Row(node);
    const std::size_t to = model_.RelabelRow(node, label);
    if (from != to)
        Tell([&](IDocObserver& observer) { observer.OnItemMoving(node, from, to); });
    model_.Relabel(node, std::move(label));
    if (from != to)
        Tell([&](IDocObserver& observer) { observer.OnItemMoved(node); });
    Tell([&](IDocObserver& observer) { observer.OnItemRelabelled(node); });
}

void CConfigTree::RemoveItem(CTreeNode& node) {
    for (CTreeNode* item = selected_; item; item = item->Parent())
        if (item == &node)
            selected_ = nullptr;
    Tell([&](IDocObserver& observer) { observer.OnItemRemoving(node); });
    CTreeNode* parent = node.Parent();
    const std::size_t row = model_.Row(node);
    model_.Remove(node);
    Tell([&](IDocObserver& observer) { observer.OnItemRemoved(parent, row); });
}

std::vector<CTreeNode*> CConfigTree::DoomedItems(CTreeNode& node) const {
    // The records that go: a terminal with all its devices, or a device with
    // its slaves. Without the structure the slaves' items are not under the
    // device's item, so items are found by record, wherever they stand.
    std::unordered_set<const CDevice*> devices;
    if (CDevice* device = node.Device()) {
        devices.insert(device);
        for (const CDevice* slave : device->Slaves())
            devices.insert(slave);
    } else {
        for (const auto& device : node.Terminal().Devices())
            devices.insert(device.get());
    }
    std::vector<CTreeNode*> items{&node};
    model_.ForEach([&](CTreeNode& item) {
        if (&item != &node && item.Device() && devices.count(item.Device()))
            items.push_back(&item);
    });
    return items;
}

void CConfigTree::RemoveWithRecords(CTreeNode& node) {
    const std::vector<CTreeNode*> items = DoomedItems(node);
    // Every view showing one of them lets go of it, not only one showing the
    // node itself.
    for (CTreeNode* item : items)
        Tell([&](IDocObserver& observer) { observer.OnNodeDeleting(*item); });
    // Only the topmost ones: an item goes with everything under it.
    // Chosen before any goes, since removing one frees the items under it.
    std::unordered_set<const CTreeNode*> doomed(items.begin(), items.end());
    std::vector<CTreeNode*> topmost;
    for (CTreeNode* item : items)
        if (!item->Parent() || !doomed.count(item->Parent()))
            topmost.push_back(item);
    for (CTreeNode* item : topmost)
        RemoveItem(*item);
}

void CConfigTree::NodeChanged(CTreeNode& node, const IDocObserver* sender) {
    Tell([&](IDocObserver& observer) { observer.OnNodeChanged(node); }, sender);
    TellPendingFlips(&node);
}

void CConfigTree::TellPendingFlips(const CTreeNode* told) {
    CConfigDatabase* db = told ? told->Terminal().Database() : nullptr;
    if (!db)
        return;
    // Items whose pending overlay came or went with the change: the
    // terminal's item when a device's edit was its first or last mark.
    for (const auto& [terminalId, device] : db->Pending().TakeFlipped()) {
        CTerminal* terminal = nullptr;
        for (const auto& candidate : terminals_)
            if (candidate->Id() == terminalId)
                terminal = candidate.get();
        CDevice* found = terminal && device != CPendingChanges::kTerminalNode
                             ? terminal->FindDevice(device)
                             : nullptr;
        CTreeNode* item = found ? model_.Find(*found) : terminal ? model_.Find(*terminal) : nullptr;
        if (item && item != told && (found || device == CPendingChanges::kTerminalNode))
            Tell([&](IDocObserver& observer) { observer.OnNodeChanged(*item); });
    }
}

void CConfigTree::ExchangeStarted(CTreeNode& node) {
    Tell([&](IDocObserver& observer) { observer.OnExchangeStarted(node); });
}

void CConfigTree::ExchangeEnded(CTreeNode& node) {
    Tell([&](IDocObserver& observer) { observer.OnExchangeEnded(node); });
}

} // namespace tornu
