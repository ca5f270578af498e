#pragma once
// The configuration text and its small helpers.
//
// A configuration text is a run of pairs, each a name, "=", a value and ";":
//     NAME=Сетевой модуль B;DSCNT=8;PLIST=Delay,Mode;
// Catalogue entries, stored type descriptions, phone-book layouts and the data
// text of every terminal message all have this form. Writers add no quotes,
// escapes or blanks; readers accept a missing last ";".
//
// All functions work on UTF-8 text; the separators they look for are ASCII, so
// multi-byte characters pass through untouched.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

// White space: bytes 9 to 13 and the blank.
bool IsConfigSpace(char c);

// Looks up `name` and stores its value; the first matching pair wins. A pair's
// name is the text before its first "=", trimmed, compared exactly; its value is
// everything after that "=", not trimmed. Pairs without "=" are skipped.
// In quote-aware mode (catalogue entries) a ";" inside double quotes does not end
// a pair, a quote preceded by "\" does not close, and quotes stay in the value; a
// text that ends inside quotes loses its last pair.
// On false `value` is left as it was, so callers may preset a default.
bool GetConfigValue(std::string_view text, std::string_view name, std::string& value,
                    bool quoteAware = false);

// As GetConfigValue for a text of "name=value" lines; name and value are trimmed.
bool GetLineValue(std::string_view text, std::string_view name, std::string& value);

// Items between "," characters, not trimmed. "" gives none, ",a" gives "" and
// "a", "a,,b" gives "a", "" and "b"; a trailing "," adds no empty last item.
std::vector<std::string> SplitList(std::string_view text);

// Lines, split as SplitList does. A line ends at CR LF or at a bare LF, so that
// files edited on either system read alike; a lone CR is part of the line.
std::vector<std::string> SplitLines(std::string_view text);

// Field `index` (from 0) of `text` split at `separator`; with `toEnd` the field
// runs to the end of the text instead of the next separator. False when the text
// is empty or holds fewer than `index` separators.
bool GetField(std::string_view text, char separator, std::size_t index, bool toEnd,
              std::string& field);

// Removes white space from both ends, in place.
void TrimText(std::string& text);

// The text without white space at either end.
std::string_view TrimmedText(std::string_view text);

// Lenient decimal integer, as the C library's atoi reads it: leading white
// space skipped, an optional "+" or "-", then digits up to the first other character; no digits
// gives 0
// ("12abc" is 12, "abc" is 0, " -3" is -3). A value beyond the 32-bit range
// is clamped to its nearest end.
std::int32_t ReadLenientInteger(std::string_view text);

// Strict check of an integer typed by the operator or stored as a value: after
// trimming, decimal digits with an optional leading "-" ("-" alone gives 0).
// A value outside the 32-bit signed range fails.
bool ParseInteger(std::string_view text, std::int32_t& value);

// Strict check of a decimal number: after trimming, digits with an optional
// leading "-" and at most one "." anywhere; no exponent. "." and "-." give 0.
// A value too large for a double fails; one too small to tell from 0 reads as 0.
bool ParseNumber(std::string_view text, double& value);

// Hexadecimal digits of either case, at least one. Only the last eight digits
// count; the ones before them must still be valid.
bool ParseHex(std::string_view text, std::uint32_t& value);

// A text the operator gives that goes into a message (passwords, phone
// numbers, names, key owners, string values): it may hold no ";" (it would end
// the pair and let the rest read as further pairs), no CR or LF (they end a
// packet) and no "~" (it starts one).
bool IsMessageSafe(std::string_view text);
// What the operator is told when he types such a text.
inline constexpr const char* kUnsafeTextMessage =
    "Текст не может содержать символы \";\", \"~\" и перевод строки";

// Two upper-case hexadecimal digits.
std::string HexByte(std::uint8_t byte);

// Every byte as two upper-case hexadecimal digits: "\x01\xFE" gives "01FE".
std::string HexText(std::string_view bytes);

// The bytes that hexadecimal text gives, digits of either case; an odd last
// digit is ignored. Nothing when some pair is not hexadecimal.
std::optional<std::string> HexToBytes(std::string_view hex);

// The whole file. False when it cannot be read or holds more than `limit`
// bytes; `bytes` is then untouched.
bool ReadFileBytes(const std::string& fileName, std::string& bytes, std::size_t limit);

// Replaces the file with `bytes`; false when it cannot be created or written.
bool WriteFileBytes(const std::string& fileName, std::string_view bytes);

} // namespace tornu
