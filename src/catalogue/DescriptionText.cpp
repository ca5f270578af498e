#include "catalogue/DescriptionText.h"

#include "protocol/ConfigText.h"

#include <cstddef>
#include <limits>
#include <utility>

namespace tornu {

std::int32_t ReadLenientInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsConfigSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulated as a magnitude in 64 bits and clamped once it passes the
    // range, so a long run of digits cannot overflow.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit)
            magnitude = kLimit;
    }
    if (negative)
        return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude >= kLimit ? kLimit - 1 : magnitude);
}

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
