#pragma once
// How both option views follow the document's hints: 1 shows a node (or
// nothing), 2 refreshes the node shown, 3 lets any shown node go.
#include "doc/DocObserver.h"

namespace tornu::ui {

// Updates `shown`; true when the view must refresh.
inline bool FollowHint(UpdateHint hint, CTreeNode* node, CTreeNode*& shown) {
    switch (hint) {
    case kHintShowNode:
        shown = node;
        return true;
    case kHintNodeChanged:
        return node && node == shown;
    case kHintNodeDeleting:
        shown = nullptr;
        return true;
    default:
        return false;
    }
}

} // namespace tornu::ui
