#include "protocol/KeyCode.h"

#include "protocol/Crc8.h"

#include <cstdint>

namespace tornu {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool IsValidKeyCode(std::string_view code) {
    constexpr std::size_t kBytes = 8;
    if (code.size() != 2 * kBytes)
        return false;
    std::uint8_t bytes[kBytes];
    for (std::size_t i = 0; i < kBytes; ++i) {
        // Byte 0 is the last pair of digits, byte 7 the first.
        const std::size_t pos = code.size() - 2 * (i + 1);
        const int high = HexDigit(code[pos]);
        const int low = HexDigit(code[pos + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return Crc8(bytes, kBytes - 1) == bytes[kBytes - 1];
}

} // namespace tornu
