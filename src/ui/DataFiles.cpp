#include "ui/DataFiles.h"

namespace tornu::ui {

std::filesystem::path FindDataFile(const std::filesystem::path& relative) {
    for (const char* root : {TORNU_INSTALLED_DATA, TORNU_SOURCE_DATA}) {
        std::filesystem::path file = std::filesystem::path(root) / relative;
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec))
            return file;
    }
    return {};
}

} // namespace tornu::ui
