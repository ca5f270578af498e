#pragma once
// How the document tells its views what changed. Views never talk to each
// other: each registers with the document's tree and is told through typed
// notifications; every one has a default that ignores it.
#include <cstddef>

namespace tornu {

class CTreeNode;

// What stands in the right pane.
enum class Pane { Empty, TerminalOptions, DeviceOptions };

class IDocObserver {
public:
    virtual ~IDocObserver() = default;

    // ---- The option views. A view is not told of the change its own edit
    // caused (the operations take the sender), so an editor it has open is
    // not rebuilt under the operator.

    // Show this node, or nothing (null).
    virtual void OnShowNode(CTreeNode* /*node*/) {}
    // The node's data changed: a view showing it refreshes.
    virtual void OnNodeChanged(CTreeNode& /*node*/) {}
    // The node goes: a view showing it shows nothing.
    virtual void OnNodeDeleting(CTreeNode& /*node*/) {}
    // The right pane changed to `pane`.
    virtual void OnPaneChanged(Pane /*pane*/) {}
    // The document's selection changed (null: none); told after it is shown.
    virtual void OnSelectionChanged(CTreeNode* /*node*/) {}

    // ---- The tree's changes, told so that an item model can mirror them
    // exactly: every "-ing" call comes before the tree changes, its "-ed"
    // partner right after, with nothing else in between.

    // The tree is emptied or built anew as a whole.
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

    // ---- An exchange with the node's terminal started or ended. Its views
    // stay live; edits of that terminal's nodes are refused meanwhile.
    virtual void OnExchangeStarted(CTreeNode& /*node*/) {}
    virtual void OnExchangeEnded(CTreeNode& /*node*/) {}
};

} // namespace tornu
