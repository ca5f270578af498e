#pragma once
// What a list of one node's data does with the document's notifications:
// it reads its rows again when the node changed, whoever changed it, and
// lets the node go when the node, an item above it or the whole tree goes.
#include "doc/DocObserver.h"

namespace tornu {
class CConfigTree;
} // namespace tornu

namespace tornu::ui {

class CNodeFollower : public IDocObserver {
public:
    // Registers with the tree for as long as it lives.
    explicit CNodeFollower(CConfigTree& tree, CTreeNode* node = nullptr);
    ~CNodeFollower() override;
    CNodeFollower(const CNodeFollower&) = delete;
    CNodeFollower& operator=(const CNodeFollower&) = delete;

    void OnNodeChanged(CTreeNode& node) override;
    void OnNodeDeleting(CTreeNode& node) override;
    void OnItemRemoving(CTreeNode& node) override;
    void OnTreeResetting() override;

protected:
    // The rows read again for node_ (none when it is null).
    virtual void Reload() = 0;
    // The node goes: by default the rows go with it.
    virtual void LetGo();

    CConfigTree& tree_;
    CTreeNode* node_;
};

} // namespace tornu::ui
