#include "protocol/KeyCode.h"

#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"

#include <cstdint>

namespace tornu {

bool IsValidKeyCode(std::string_view code) {
    constexpr std::size_t kBytes = 8;
    if (code.size() != 2 * kBytes)
        return false;
    std::uint8_t bytes[kBytes];
    for (std::size_t i = 0; i < kBytes; ++i) {
        // Byte 0 is the last pair of digits, byte 7 the first.
        std::uint32_t value = 0;
        if (!ParseHex(code.substr(code.size() - 2 * (i + 1), 2), value))
            return false;
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return Crc8(bytes, kBytes - 1) == bytes[kBytes - 1];
}

} // namespace tornu
