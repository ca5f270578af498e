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

bool ReadNameAndCounts(std::string_view text, std::string& name,
                       std::initializer_list<DescriptionCount> counts, std::string* reason) {
    if (!GetDescriptionValue(text, "NAME", name))
        return RefuseDescription(reason, "нет ключа NAME");
    for (const auto& [key, field, most] : counts) {
        if (!GetDescriptionNumber(text, key, *field))
            return RefuseDescription(reason, std::string("нет ключа ") + key);
    }
    if (name.empty())
        return RefuseDescription(reason, "пустое NAME");
    for (const auto& [key, field, most] : counts) {
        if (*field < 0)
            return RefuseDescription(reason, std::string("отрицательное значение ") + key);
        if (*field > most)
            return RefuseDescription(reason, std::string("значение ") + key + " больше " +
                                                 std::to_string(most));
    }
    return true;
}

bool RefuseDescription(std::string* reason, std::string text) {
    if (reason)
        *reason = std::move(text);
    return false;
}

} // namespace tornu
