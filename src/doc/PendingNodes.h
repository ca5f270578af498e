#pragma once
// The pending changes as the tree and the option views show them: which
// items carry changes not yet written to their terminal, and which write
// commands would carry them.
#include "db/PendingChanges.h"

#include <set>
#include <string>
#include <vector>

namespace tornu {

// What a marked item of an option view says when pointed at.
inline constexpr const char* kPendingItemTip = "Изменено в программе, не записано в прибор";

class CCommandDesc;
class CDevice;
class CTreeNode;

// A terminal's item has any mark of the terminal or its devices; a device's
// item its own.
bool HasPendingChanges(const CTreeNode& node);
// The device's pending items of one kind: parameter names, entry or key numbers.
std::set<std::string> PendingItemsOf(const CDevice& device, PendingKind kind);
// The codes of the write commands that carry the node's own pending changes.
std::set<int> PendingWriteCodes(const CTreeNode& node);
// Of the offered commands, those that carry the node's pending changes.
std::vector<CCommandDesc*> PendingWriteCommands(const CTreeNode& node,
                                                const std::vector<CCommandDesc*>& offered);

} // namespace tornu
