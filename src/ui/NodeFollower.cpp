#include "ui/NodeFollower.h"

#include "doc/ConfigTree.h"

namespace tornu::ui {

CNodeFollower::CNodeFollower(CConfigTree& tree, CTreeNode* node) : tree_(tree), node_(node) {
    tree_.AddObserver(*this);
}

CNodeFollower::~CNodeFollower() { tree_.RemoveObserver(*this); }

void CNodeFollower::OnNodeChanged(CTreeNode& node) {
    if (&node == node_)
        Reload();
}

void CNodeFollower::OnNodeDeleting(CTreeNode& node) {
    if (&node == node_)
        LetGo();
}

void CNodeFollower::OnItemRemoving(CTreeNode& node) {
    for (CTreeNode* item = node_; item; item = item->Parent())
        if (item == &node) {
            LetGo();
            return;
        }
}

void CNodeFollower::OnTreeResetting() {
    if (node_)
        LetGo();
}

void CNodeFollower::LetGo() {
    node_ = nullptr;
    Reload();
}

} // namespace tornu::ui
