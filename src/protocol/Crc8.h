#pragma once
// Dallas/Maxim 1-Wire CRC-8: polynomial x^8 + x^5 + x^4 + 1, bits taken least
// significant first (reflected constant 0x8C), initial value 0, no final inversion.
// Guards the packets on the terminal line and the codes of 1-Wire keys.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tornu {

// CRC of `length` bytes; an empty or missing block gives 0. "123456789" gives 0xA1.
std::uint8_t Crc8(const void* bytes, std::size_t length);

inline std::uint8_t Crc8(std::string_view bytes) {
    return Crc8(bytes.data(), bytes.size());
}

} // namespace tornu
