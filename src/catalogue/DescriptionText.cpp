#include "catalogue/DescriptionText.h"

#include "protocol/ConfigText.h"

#include <cstddef>
#include <utility>

namespace tornu {

bool GetDescriptionValue(std::string_view text, std::string_view key, std::string& value) {
    return GetConfigValue(text, key, value, true);
}

bool GetDescriptionNumber(std::string_view text, std::string_view key, std::int32_t& value) {
    std::string found;
    if (!GetDescriptionValue(text, key, found))
        return false;
    value = ReadLenientInteger(found);
    return true;
}

bool RefuseDescription(std::string* reason, std::string text) {
    if (reason)
        *reason = std::move(text);
    return false;
}

} // namespace tornu
