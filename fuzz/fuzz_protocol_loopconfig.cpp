// Arbitrary bytes as a loop configuration text: splitting and reading every
// entry may refuse anything, but what it accepts must hold together.
#include "protocol/LoopConfigText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t total = 0;
    for (const auto& line : tornu::SplitLoopConfiguration(text)) {
        total += line.size();
        tornu::LoopEntry entry;
        if (tornu::ParseLoopEntry(line, entry) && entry.device < 0 && line.find('-') == line.npos)
            std::abort(); // a negative number must come from a minus sign
    }
    // Splitting only drops separators, it never invents text.
    if (total > size)
        std::abort();
    return 0;
}
