#pragma once
// 1-Wire CRC-8 (Dallas/Maxim: reflected polynomial 0x8C, initial value 0, no
// final inversion) and the check of an electronic key's code, for the layers
// that keep keys but do not speak the line protocol.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tornu {

// CRC of `length` bytes; no bytes give 0. "123456789" gives 0xA1.
std::uint8_t OneWireCrc8(const std::uint8_t* bytes, std::size_t length);

// A key code as the terminal reports it: 16 hexadecimal digits of either case,
// the family byte last and the CRC byte first. Read from its end as bytes 0 to
// 7, the CRC of bytes 0 to 6 must equal byte 7.
//   "A200000001B81C02": family 02, serial 1C B8 01 00 00 00, CRC A2
bool IsValidKeyCode(std::string_view code);

} // namespace tornu
