#pragma once
// What `list` and `show` print: the tree with its labels, and the content of
// the terminal and device option views as text.
#include <iosfwd>

namespace tornu {
class CConfigEditor;
class CConfigTree;
class CTreeNode;
} // namespace tornu

namespace tornu::cli {

void PrintTree(const CConfigTree& tree, std::ostream& out);
void PrintNode(const CConfigEditor& editor, const CTreeNode& node, bool showPasswords,
               std::ostream& out);

} // namespace tornu::cli
