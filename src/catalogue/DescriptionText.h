#pragma once
// Reading a description text: the configuration text of one catalogue entry
// ("NAME=Раздел-8;DSCNT=8;DMST=1;..."). Values are looked up quote-aware with
// the first match winning; numbers inside are read leniently, as the equipment
// side has always written them by hand.
#include "protocol/ConfigText.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tornu {

// The value of `key`; false when the key is absent (`value` is then untouched).
bool GetDescriptionValue(std::string_view text, std::string_view key, std::string& value);

// The value of `key` read with ReadLenientInteger; false when the key is absent.
bool GetDescriptionNumber(std::string_view text, std::string_view key, std::int32_t& value);

// The name and counts every type description carries, in the order a reader
// checks them: "NAME" present, each count present, the name not empty, every
// count 0 or more and no more than its bound. False with the first rule
// broken in `reason`.
struct DescriptionCount {
    const char* key;
    std::int32_t* field;
    std::int32_t most = INT32_MAX;
};
bool ReadNameAndCounts(std::string_view text, std::string& name,
                       std::initializer_list<DescriptionCount> counts, std::string* reason);

// Sets `reason` (when given) and returns false: the tail of a refused read.
bool RefuseDescription(std::string* reason, std::string text);

} // namespace tornu
