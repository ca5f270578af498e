#include "protocol/ConfigText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

namespace tornu {
namespace {

constexpr auto npos = std::string_view::npos;

// The pair "name=value" under `name`: the value goes out on a match.
bool MatchPair(std::string_view pair, std::string_view name, std::string& value) {
    const std::size_t eq = pair.find('=');
    if (eq == npos || TrimmedText(pair.substr(0, eq)) != name)
        return false;
    value.assign(pair.substr(eq + 1));
    return true;
}

// Position of the ";" that ends the pair starting at `start`, npos when the pair
// runs to the end of the text. In quote-aware mode `open` tells whether the text
// ended inside a quoted stretch.
std::size_t PairEnd(std::string_view text, std::size_t start, bool quoteAware, bool& open) {
    open = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ';' && !open)
            return i;
        if (c == '"' && quoteAware) {
            // An open stretch began at or after `start`, so text[i - 1] exists.
            if (!open)
                open = true;
            else if (text[i - 1] != '\\')
                open = false;
        }
    }
    return npos;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Closes the file when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads at most limit + 1 bytes, enough to tell an oversized file without
// loading all of it.
bool ReadBytesUpTo(std::FILE* f, std::size_t limit, std::string& bytes) {
    char buf[4096];
    for (;;) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, f);
        bytes.append(buf, n);
        if (bytes.size() > limit)
            return false;
        if (n < sizeof buf)
            return !std::ferror(f);
    }
}

} // namespace

bool IsConfigSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view TrimmedText(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsConfigSpace(text[begin]))
        ++begin;
    while (end > begin && IsConfigSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

void TrimText(std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && IsConfigSpace(text[end - 1]))
        --end;
    text.erase(end);
    std::size_t begin = 0;
    while (begin < text.size() && IsConfigSpace(text[begin]))
        ++begin;
    text.erase(0, begin);
}

// Plain:       A=1;B="x;y";C=3   -> B is "\"x"
// Quote-aware: A=1;B="x;y";C=3   -> B is "\"x;y\""
bool GetConfigValue(std::string_view text, std::string_view name, std::string& value,
                    bool quoteAware) {
    std::size_t start = 0;
    while (start < text.size()) {
        bool open = false;
        const std::size_t end = PairEnd(text, start, quoteAware, open);
        if (end == npos)
            return !open && MatchPair(text.substr(start), name, value);
        if (MatchPair(text.substr(start, end - start), name, value))
            return true;
        start = end + 1;
    }
    return false;
}

bool GetLineValue(std::string_view text, std::string_view name, std::string& value) {
    for (const std::string& line : SplitLines(text)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string_view view = line;
        if (TrimmedText(view.substr(0, eq)) == name) {
            value.assign(TrimmedText(view.substr(eq + 1)));
            return true;
        }
    }
    return false;
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        if (end == npos)
            end = text.size();
        items.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        std::size_t end = lf == npos ? text.size() : lf;
        if (lf != npos && end > start && text[end - 1] == '\r')
            --end;
        lines.emplace_back(text.substr(start, end - start));
        start = lf == npos ? text.size() : lf + 1;
    }
    return lines;
}

bool GetField(std::string_view text, char separator, std::size_t index, bool toEnd,
              std::string& field) {
    if (text.empty())
        return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t sep = text.find(separator, start);
        if (sep == npos)
            return false;
        start = sep + 1;
    }
    const std::size_t end = toEnd ? npos : text.find(separator, start);
    field.assign(text.substr(start, end == npos ? npos : end - start));
    return true;
}

std::int32_t ReadLenientInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsConfigSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulated as a magnitude in 64 bits and clamped once it passes the
    // range, so a long run of digits cannot overflow.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit)
            magnitude = kLimit;
    }
    if (negative)
        return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude >= kLimit ? kLimit - 1 : magnitude);
}

bool ParseInteger(std::string_view text, std::int32_t& value) {
    const std::string_view t = TrimmedText(text);
    if (t.empty())
        return false;
    const bool negative = t.front() == '-';
    // One past the largest magnitude, which only a negative value may reach.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (const char c : t.substr(negative ? 1 : 0)) {
        if (!IsDigit(c))
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > kLimit)
            return false;
    }
    if (!negative && magnitude == kLimit)
        return false;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

bool ParseNumber(std::string_view text, double& value) {
    const std::string_view t = TrimmedText(text);
    if (t.empty())
        return false;
    bool anyDigit = false;
    bool dot = false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (IsDigit(t[i]))
            anyDigit = true;
        else if (t[i] == '.' && !dot)
            dot = true;
        else if (!(t[i] == '-' && i == 0))
            return false;
    }
    if (!anyDigit) { // "-", "." and "-." read as nothing converted
        value = 0.0;
        return true;
    }
    // from_chars, unlike strtod, ignores the locale's decimal point.
    double parsed = 0.0;
    const auto [ptr, ec] =
        std::from_chars(t.data(), t.data() + t.size(), parsed, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero; too large does not fit.
        const std::string_view whole = t.substr(0, t.find('.'));
        if (whole.find_first_of("123456789") != npos)
            return false;
        parsed = 0.0;
    } else if (ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseHex(std::string_view text, std::uint32_t& value) {
    if (text.empty())
        return false;
    for (const char c : text)
        if (HexDigitValue(c) < 0)
            return false;
    // Digits before the last eight carry a weight of 0 in 32 bits.
    const std::string_view low = text.size() > 8 ? text.substr(text.size() - 8) : text;
    std::uint32_t result = 0;
    for (const char c : low)
        result = (result << 4) | static_cast<std::uint32_t>(HexDigitValue(c));
    value = result;
    return true;
}

bool IsMessageSafe(std::string_view text) {
    return text.find_first_of(";\r\n~") == std::string_view::npos;
}

std::string HexByte(std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::string HexText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char b : bytes)
        text += HexByte(static_cast<std::uint8_t>(b));
    return text;
}

std::optional<std::string> HexToBytes(std::string_view hex) {
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        std::uint32_t b = 0;
        if (!ParseHex(hex.substr(i, 2), b))
            return std::nullopt;
        bytes += static_cast<char>(b);
    }
    return bytes;
}

bool ReadFileBytes(const std::string& fileName, std::string& bytes, std::size_t limit) {
    const FilePtr file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        return false;
    std::string read;
    if (!ReadBytesUpTo(file.get(), limit, read))
        return false;
    bytes = std::move(read);
    return true;
}

bool WriteFileBytes(const std::string& fileName, std::string_view bytes) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

} // namespace tornu
