#pragma once
// How both option views follow the document: they show a node (or nothing),
// refresh when the node shown changes, and let it go when any node goes.
#include "doc/DocObserver.h"

namespace tornu::ui {

class COptionView : public IDocObserver {
public:
    CTreeNode* Shown() const { return node_; }

    void OnShowNode(CTreeNode* node) override {
        node_ = node;
        Refresh();
    }
    void OnNodeChanged(CTreeNode& node) override {
        if (&node == node_)
            Refresh();
    }
    void OnNodeDeleting(CTreeNode& /*node*/) override {
        node_ = nullptr;
        Refresh();
    }

protected:
    virtual void Refresh() = 0;

    CTreeNode* node_ = nullptr;
};

} // namespace tornu::ui
