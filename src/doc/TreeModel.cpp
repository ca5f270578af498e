#include "doc/TreeModel.h"

#include "db/Device.h"
#include "db/Terminal.h"

#include <algorithm>
#include <future>
#include <iterator>

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

namespace {

bool ByLabel(const std::unique_ptr<CTreeNode>& a, const std::unique_ptr<CTreeNode>& b) {
    return a->Label() < b->Label();
}

} // namespace

// Appended in list order, then the items under each node sorted once,
// stably: the order inserting one by one gives, without moving 80,000
// siblings for every item.
void CTreeModel::FillPart(const std::unique_ptr<CTerminal>* first,
                          const std::unique_ptr<CTerminal>* last, bool showStructure,
                          CTreeNode::List& roots) {
    std::vector<CTreeNode*> parents;
    const auto append = [&](CTreeNode* parent, std::unique_ptr<CTreeNode> node) -> CTreeNode& {
        node->parent_ = parent;
        CTreeNode::List& siblings = parent ? parent->ChildList() : roots;
        siblings.push_back(std::move(node));
        return *siblings.back();
    };
    for (; first != last; ++first) {
        CTerminal& terminal = **first;
        CTreeNode* parent =
            showStructure
                ? &append(nullptr, std::make_unique<CTreeNode>(terminal, TerminalLabel(terminal)))
                : nullptr;
        if (parent)
            parents.push_back(parent);
        for (const auto& device : terminal.Devices()) {
            if (!device->IsTopLevel())
                continue;
            CTreeNode& item = append(
                parent, std::make_unique<CTreeNode>(*device, DeviceLabel(*device, showStructure)));
            if (!device->Slaves().empty() && showStructure)
                parents.push_back(&item);
            for (CDevice* slave : device->Slaves())
                append(showStructure ? &item : nullptr,
                       std::make_unique<CTreeNode>(*slave, DeviceLabel(*slave, showStructure)));
        }
    }
    for (CTreeNode* parent : parents)
        if (parent->children_)
            std::stable_sort(parent->children_->begin(), parent->children_->end(), ByLabel);
}

void CTreeModel::Fill(const std::vector<std::unique_ptr<CTerminal>>& terminals,
                      bool showStructure) {
    // A large fleet's items are made on two threads, a half each: nothing
    // else runs then, and the records are only read.
    constexpr std::size_t kSplitFrom = 4096;
    const std::unique_ptr<CTerminal>* begin = terminals.data();
    const std::unique_ptr<CTerminal>* end = begin + terminals.size();
    if (terminals.size() < kSplitFrom) {
        FillPart(begin, end, showStructure, roots_);
    } else {
        const auto* middle = begin + terminals.size() / 2;
        CTreeNode::List second;
        auto made = std::async(std::launch::async,
                               [&] { FillPart(middle, end, showStructure, second); });
        FillPart(begin, middle, showStructure, roots_);
        made.get();
        std::move(second.begin(), second.end(), std::back_inserter(roots_));
    }
    std::stable_sort(roots_.begin(), roots_.end(), ByLabel);
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
