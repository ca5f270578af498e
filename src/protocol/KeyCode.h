#pragma once
// The check of an electronic key's code: its last byte is the 1-Wire CRC-8
// (protocol/Crc8.h) of the other seven.
#include <string_view>

namespace tornu {

// A key code as the terminal reports it: 16 hexadecimal digits of either case,
// the family byte last and the CRC byte first. Read from its end as bytes 0 to
// 7, the CRC of bytes 0 to 6 must equal byte 7.
//   "A200000001B81C02": family 02, serial 1C B8 01 00 00 00, CRC A2
bool IsValidKeyCode(std::string_view code);

} // namespace tornu
