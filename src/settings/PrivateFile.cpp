#include "settings/PrivateFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tornu {

bool CreatePrivateFile(const std::filesystem::path& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, kPrivateFileMode);
    if (fd >= 0)
        return ::close(fd) == 0;
    std::error_code ec;
    return errno == EEXIST && std::filesystem::exists(path, ec);
}

std::FILE* OpenPrivateFile(const std::filesystem::path& path, bool append) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (append ? O_APPEND : O_TRUNC);
    const int fd = ::open(path.c_str(), flags, kPrivateFileMode);
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, append ? "ab" : "wb");
    if (!file)
        ::close(fd);
    return file;
}

} // namespace tornu
