#pragma once
// How the document tells its views what changed. Views never talk to each
// other: each registers with the document and is told through numbered hints.
#include <cstddef>

namespace tornu {

class CTreeNode;

enum UpdateHint : int {
    kHintClearTree = 0,    // every tree item goes; the tree drops what it holds of them
    kHintShowNode = 1,     // show this node (or nothing) in the option views
    kHintNodeChanged = 2,  // this node's data changed: a view showing it refreshes
    kHintNodeDeleting = 3, // this node goes: a view showing it shows nothing
    kHintCurrentNode = 4,  // the tree writes its current item into the slot
    kHintFillTree = 5,     // the tree is built anew from the document
};

// What stands in the right pane.
enum class Pane { Empty, TerminalOptions, DeviceOptions };

class IDocObserver {
public:
    virtual ~IDocObserver() = default;

    // `node` is the hint's node or null; `slot` is set for kHintCurrentNode
    // only, and left unchanged by a view that has no current item. A view is
    // not told of the hint its own change caused (the operations take the
    // sender), so an editor it has open is not rebuilt under the operator.
    virtual void OnUpdate(UpdateHint hint, CTreeNode* node, CTreeNode** slot) = 0;

    // The right pane changed to `pane`.
    virtual void OnPaneChanged(Pane /*pane*/) {}

    // ---- The tree's changes, told so that an item model can mirror them
    // exactly: every "-ing" call comes before the tree changes, its "-ed"
    // partner right after, with nothing else in between.

    // The tree is emptied or built anew as a whole (kHintClearTree and
    // kHintFillTree follow their own change).
    virtual void OnTreeResetting() {}
    virtual void OnTreeReset() {}
    // A new item is to stand at `row` among the children of `parent` (null:
    // the root), then stands there.
    virtual void OnItemInserting(CTreeNode* /*parent*/, std::size_t /*row*/) {}
    virtual void OnItemInserted(CTreeNode& /*node*/) {}
    // A relabelled item moves among its siblings from row `from` to row `to`
    // (its row once it has moved); told only when the row changes.
    virtual void OnItemMoving(CTreeNode& /*node*/, std::size_t /*from*/, std::size_t /*to*/) {}
    virtual void OnItemMoved(CTreeNode& /*node*/) {}
    // Its label changed (after any move).
    virtual void OnItemRelabelled(CTreeNode& /*node*/) {}
    // The item is to go with every item under it; then it is gone from `row`
    // of `parent` (the node itself is freed by then).
    virtual void OnItemRemoving(CTreeNode& /*node*/) {}
    virtual void OnItemRemoved(CTreeNode* /*parent*/, std::size_t /*row*/) {}

    // ---- An exchange runs on its worker between these two calls: a view
    // shows what it last rendered and reads nothing of the document.
    virtual void OnExchangeStarted() {}
    virtual void OnExchangeEnded() {}
};

} // namespace tornu
