// Arbitrary bytes through the configuration-text reader and its helpers: any
// result is fine, a crash or a sanitizer report is not.
#include "protocol/ConfigText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte picks where the text ends and the name begins, so that short
    // names, the common case, are tried often.
    const std::size_t split = size ? std::size_t{data[0]} % size : 0;
    const std::string_view text = input.substr(split);
    const std::string_view name = input.substr(size ? 1 : 0, split ? split - 1 : 0);

    std::string value;
    tornu::GetConfigValue(text, name, value, false);
    tornu::GetConfigValue(text, name, value, true);
    tornu::GetLineValue(text, name, value);
    tornu::SplitList(text);
    tornu::SplitLines(text);
    for (std::size_t index = 0; index < 4; ++index) {
        tornu::GetField(text, '=', index, false, value);
        tornu::GetField(text, name.empty() ? ',' : name.front(), index, true, value);
    }
    std::string trimmed(text);
    tornu::TrimText(trimmed);

    std::int32_t integer = 0;
    double number = 0.0;
    std::uint32_t hex = 0;
    tornu::ParseInteger(text, integer);
    tornu::ParseNumber(text, number);
    tornu::ParseHex(text, hex);
    tornu::ParseInteger(name, integer);
    tornu::ParseNumber(name, number);
    tornu::ParseHex(name, hex);
    return 0;
}
