#pragma once
// The configuration tree as the tree view shows it, computed here so that the
// view only renders it. Siblings are kept sorted by label (the zero-padded
// numbers make the order numeric); items with equal labels stay in the order
// they were inserted.
//
// With the structure shown: terminals at the root, under each its top-level
// devices (its own module included), under each of those its slaves. Without
// it: the top-level devices and their slaves, all at the root. A slave whose
// master is missing is in no item.
#include "doc/TreeNode.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace tornu {

class CTreeModel {
public:
    const CTreeNode::List& Roots() const { return roots_; }
    bool Empty() const { return roots_.empty(); }

    // The row a new item labelled `label` would take under `parent`.
    std::size_t InsertRow(const CTreeNode* parent, std::string_view label) const;
    // The row `node` would stand at among its siblings with label `label`.
    std::size_t RelabelRow(const CTreeNode& node, std::string_view label) const;
    // Inserts `node` under `parent` (null: the root) at its sorted place.
    CTreeNode& Insert(CTreeNode* parent, std::unique_ptr<CTreeNode> node);
    CTreeNode& InsertTerminal(CTerminal& terminal);
    CTreeNode& InsertDevice(CTreeNode* parent, CDevice& device, bool showStructure);
    // Gives the node a new label and moves it to its sorted place.
    void Relabel(CTreeNode& node, std::string label);
    // Removes the node with every item under it.
    void Remove(CTreeNode& node);
    void Clear() { roots_.clear(); }

    // Builds the whole tree from the terminals, in their list order.
    void Fill(const std::vector<std::unique_ptr<CTerminal>>& terminals, bool showStructure);

    // Position of the node among its siblings.
    std::size_t Row(const CTreeNode& node) const;
    // The item of a record; null when it has none.
    CTreeNode* Find(const CTerminal& terminal) const;
    CTreeNode* Find(const CDevice& device) const;
    // Every item, parents before their children, siblings in order.
    void ForEach(const std::function<void(CTreeNode&)>& visit) const;

private:
    CTreeNode::List& SiblingsOf(const CTreeNode& node);
    const CTreeNode::List& SiblingsOf(const CTreeNode& node) const;
    static void Visit(const CTreeNode::List& list, const std::function<void(CTreeNode&)>& visit);
    // The items of terminals [first, last) appended to `roots`.
    static void FillPart(const std::unique_ptr<CTerminal>* first,
                         const std::unique_ptr<CTerminal>* last, bool showStructure,
                         CTreeNode::List& roots);

    CTreeNode::List roots_;
};

} // namespace tornu
