#pragma once
// How the document tells its views what changed. Views never talk to each
// other: each registers with the document and is told through numbered hints.
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
    // only, and left unchanged by a view that has no current item.
    virtual void OnUpdate(UpdateHint hint, CTreeNode* node, CTreeNode** slot) = 0;

    // The right pane changed to `pane`.
    virtual void OnPaneChanged(Pane /*pane*/) {}

    // Single changes of the tree between two fills (kHintFillTree), for a
    // view that mirrors it item by item.
    virtual void OnItemInserted(CTreeNode& /*node*/) {}
    // Its label changed and it moved to its sorted place among its siblings.
    virtual void OnItemRelabelled(CTreeNode& /*node*/) {}
    // It is about to go, with every item under it.
    virtual void OnItemRemoving(CTreeNode& /*node*/) {}
};

} // namespace tornu
