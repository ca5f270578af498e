#include "doc/TreeModel.h"

#include "db/Device.h"
#include "db/Terminal.h"

#include <algorithm>

namespace tornu {

namespace {

// After the last sibling whose label is not greater: equal labels keep their
// insertion order.
template <class List> auto SortedPlace(List& siblings, std::string_view label) {
    return std::upper_bound(
        siblings.begin(), siblings.end(), label,
        [](std::string_view l, const auto& node) { return l < node->Label(); });
}

CTreeNode::List::iterator Position(CTreeNode::List& siblings, const CTreeNode& node) {
    return std::find_if(siblings.begin(), siblings.end(),
                        [&](const auto& sibling) { return sibling.get() == &node; });
}

} // namespace

CTreeNode& CTreeModel::Insert(CTreeNode* parent, std::unique_ptr<CTreeNode> node) {
    node->parent_ = parent;
    CTreeNode::List& siblings = parent ? parent->ChildList() : roots_;
    auto at = SortedPlace(siblings, node->Label());
    return **siblings.insert(at, std::move(node));
}

std::size_t CTreeModel::InsertRow(const CTreeNode* parent, std::string_view label) const {
    const CTreeNode::List& siblings = parent ? parent->Children() : roots_;
    return static_cast<std::size_t>(SortedPlace(siblings, label) - siblings.begin());
}

std::size_t CTreeModel::RelabelRow(const CTreeNode& node, std::string_view label) const {
    // Its place among the others, as Relabel takes it out and puts it back.
    const std::size_t row = Row(node);
    const std::size_t place = InsertRow(node.parent_, label);
    if (place <= row)
        return place;
    return place - 1;
}

CTreeNode& CTreeModel::InsertTerminal(CTerminal& terminal) {
    return Insert(nullptr, std::make_unique<CTreeNode>(terminal, TerminalLabel(terminal)));
}

CTreeNode& CTreeModel::InsertDevice(CTreeNode* parent, CDevice& device, bool showStructure) {
    return Insert(parent, std::make_unique<CTreeNode>(device, DeviceLabel(device, showStructure)));
}

CTreeNode::List& CTreeModel::SiblingsOf(const CTreeNode& node) {
    return node.parent_ ? node.parent_->ChildList() : roots_;
}

const CTreeNode::List& CTreeModel::SiblingsOf(const CTreeNode& node) const {
    return node.parent_ ? node.parent_->Children() : roots_;
}

void CTreeModel::Relabel(CTreeNode& node, std::string label) {
    CTreeNode::List& siblings = SiblingsOf(node);
    auto at = Position(siblings, node);
    if (at == siblings.end())
        return;
    std::unique_ptr<CTreeNode> owned = std::move(*at);
    siblings.erase(at);
    owned->label_ = label;
    siblings.insert(SortedPlace(siblings, owned->Label()), std::move(owned));
}

void CTreeModel::Remove(CTreeNode& node) {
    CTreeNode::List& siblings = SiblingsOf(node);
    auto at = Position(siblings, node);
    if (at != siblings.end())
        siblings.erase(at);
}

std::size_t CTreeModel::Row(const CTreeNode& node) const {
    const CTreeNode::List& siblings = SiblingsOf(node);
    auto at = std::find_if(siblings.begin(), siblings.end(),
                           [&](const auto& sibling) { return sibling.get() == &node; });
    return static_cast<std::size_t>(at - siblings.begin());
}

void CTreeModel::Fill(const std::vector<std::unique_ptr<CTerminal>>& terminals,
                      bool showStructure) {
    // Appended in list order, then each sibling list sorted once, stably:
    // the order inserting one by one gives, without moving 80,000 roots
    // for every item.
    const auto append = [this](CTreeNode* parent, std::unique_ptr<CTreeNode> node) -> CTreeNode& {
        node->parent_ = parent;
        CTreeNode::List& siblings = parent ? parent->ChildList() : roots_;
        siblings.push_back(std::move(node));
        return *siblings.back();
    };
    for (const auto& terminal : terminals) {
        CTreeNode* parent =
            showStructure
                ? &append(nullptr, std::make_unique<CTreeNode>(*terminal, TerminalLabel(*terminal)))
                : nullptr;
        for (const auto& device : terminal->Devices()) {
            if (!device->IsTopLevel())
                continue;
            CTreeNode& item = append(
                parent, std::make_unique<CTreeNode>(*device, DeviceLabel(*device, showStructure)));
            for (CDevice* slave : device->Slaves())
                append(showStructure ? &item : nullptr,
                       std::make_unique<CTreeNode>(*slave, DeviceLabel(*slave, showStructure)));
        }
    }
    const auto byLabel = [](const auto& a, const auto& b) { return a->Label() < b->Label(); };
    std::stable_sort(roots_.begin(), roots_.end(), byLabel);
    ForEach([&](CTreeNode& node) {
        if (node.children_)
            std::stable_sort(node.children_->begin(), node.children_->end(), byLabel);
    });
}

CTreeNode* CTreeModel::Find(const CTerminal& terminal) const {
    CTreeNode* found = nullptr;
    ForEach([&](CTreeNode& node) {
        if (!found && node.Kind() == NodeKind::Terminal && &node.Terminal() == &terminal)
            found = &node;
    });
    return found;
}

CTreeNode* CTreeModel::Find(const CDevice& device) const {
    CTreeNode* found = nullptr;
    ForEach([&](CTreeNode& node) {
        if (!found && node.Device() == &device)
            found = &node;
    });
    return found;
}

void CTreeModel::ForEach(const std::function<void(CTreeNode&)>& visit) const {
    Visit(roots_, visit);
}

void CTreeModel::Visit(const CTreeNode::List& list, const std::function<void(CTreeNode&)>& visit) {
    for (const auto& node : list) {
        visit(*node);
        Visit(node->Children(), visit);
    }
}

} // namespace tornu
