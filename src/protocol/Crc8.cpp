#include "protocol/Crc8.h"

namespace tornu {

std::uint8_t Crc8(const void* bytes, std::size_t length) {
    if (!bytes)
        return 0;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C) : crc >> 1;
    }
    return crc;
}

} // namespace tornu
