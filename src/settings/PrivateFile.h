#pragma once
// Files that hold passwords (the configuration database, the logs of an
// exchange) are made readable and writable by their owner alone. A file that
// exists keeps the mode it has: one made stricter stays so, and one an
// administrator opened to a group of operators stays open to them.
#include <cstdio>
#include <filesystem>

namespace tornu {

inline constexpr unsigned kPrivateFileMode = 0600;

// Makes the file, empty, with mode 0600 (less what the umask takes) unless it
// is there. False when it is not there afterwards.
bool CreatePrivateFile(const std::filesystem::path& path);

// fopen for appending ("ab") or rewriting ("wb"), a file it makes getting
// mode 0600; null when it cannot be opened.
std::FILE* OpenPrivateFile(const std::filesystem::path& path, bool append);

} // namespace tornu
