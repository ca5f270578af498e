#pragma once
// Reading a description text: the configuration text of one catalogue entry
// ("NAME=Раздел-8;DSCNT=8;DMST=1;..."). Values are looked up quote-aware with
// the first match winning; numbers inside are read leniently, as the equipment
// side has always written them by hand.
#include <cstdint>
#include <string>
#include <string_view>

namespace tornu {

// Lenient decimal integer: leading white space skipped, an optional "+" or
// "-", then digits up to the first other character; no digits gives 0
// ("12abc" is 12, "abc" is 0, " -3" is -3). A value beyond the 32-bit range
// is clamped to its nearest end.
std::int32_t ReadLenientInteger(std::string_view text);

// The value of `key`; false when the key is absent (`value` is then untouched).
bool GetDescriptionValue(std::string_view text, std::string_view key, std::string& value);

// The value of `key` read with ReadLenientInteger; false when the key is absent.
bool GetDescriptionNumber(std::string_view text, std::string_view key, std::int32_t& value);

// Sets `reason` (when given) and returns false: the tail of a refused read.
bool RefuseDescription(std::string* reason, std::string text);

} // namespace tornu
