#pragma once
// "diff": the values of a terminal or device read from the terminal (nothing
// stored) against the database's, a line per value that differs.
#include <iosfwd>

namespace tornu {
class CTornuCfgDoc;
class CTreeNode;
} // namespace tornu

namespace tornu::cli {

// 0 when they agree, 1 when something differs, 2 when the reads failed.
// The exchange's log goes to standard error.
int RunDiff(CTornuCfgDoc& doc, const CTreeNode& node, std::ostream& out);

} // namespace tornu::cli
