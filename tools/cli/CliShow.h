#pragma once
// What `list` and `show` print: the tree with its labels, and the content of
// the terminal and device option views as text.
#include <iosfwd>

namespace tornu {
class CTornuCfgDoc;
class CTreeNode;
} // namespace tornu

namespace tornu::cli {

void PrintTree(const CTornuCfgDoc& doc, std::ostream& out);
void PrintNode(const CTornuCfgDoc& doc, const CTreeNode& node, bool showPasswords,
               std::ostream& out);

} // namespace tornu::cli
