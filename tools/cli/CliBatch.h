#pragma once
// "tornucfg-cli batch": fleet jobs from the command line.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tornu {
class CTornuCfgDoc;
}

namespace tornu::cli {

extern const char* const kBatchHelp;

using FileMap = std::map<std::string, std::string>; // command key -> path

// The subcommand and its arguments as the parser took them; the exit status
// (0 every terminal done, 1 some not, 2 a usage or database error).
int RunBatch(CTornuCfgDoc& doc, const std::vector<std::string>& positional,
             const std::map<std::string, std::string>& values, const std::set<std::string>& flags,
             const FileMap& filesIn, const FileMap& filesOut);

} // namespace tornu::cli
