#pragma once
// Files installed with the program (the sample catalogue, the manual):
// the installed copy, else the source tree's, so that a program run from its
// build folder finds them too.
#include <filesystem>

namespace tornu::ui {

// The file, or an empty path when neither copy exists.
std::filesystem::path FindDataFile(const std::filesystem::path& relative);

} // namespace tornu::ui
