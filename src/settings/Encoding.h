#pragma once
// Text inside the program is UTF-8; Windows-1251 is spoken only at the edges
// (settings file, the terminal line, station tables, phone-book and key files).
#include <cstddef>
#include <string>
#include <string_view>

namespace tornu {

// Every byte maps to a character; 0x98, unassigned in the code page, maps to
// U+0098 so that any byte string survives a round trip.
std::string Cp1251ToUtf8(std::string_view text);

// Characters the code page cannot hold, and malformed UTF-8 sequences, become '?'.
std::string Utf8ToCp1251(std::string_view text);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view text);

// True when some byte is outside ASCII.
bool HasNonAscii(std::string_view text);

// Number of characters (code points) of well-formed UTF-8; a malformed byte counts as one.
std::size_t Utf8Length(std::string_view text);

// The first `count` characters of a UTF-8 text.
std::string_view Utf8Prefix(std::string_view text, std::size_t count);

// True when `text` holds `part`, letters of either case alike (Latin and
// Cyrillic, as an operator types them); an empty part is in every text.
bool ContainsIgnoringCase(std::string_view text, std::string_view part);

} // namespace tornu
