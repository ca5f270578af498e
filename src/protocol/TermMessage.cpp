#include "protocol/TermMessage.h"

#include "protocol/ConfigText.h"
#include "settings/Encoding.h"

#include <cstdio>

namespace tornu {
namespace {

constexpr std::size_t kMinText = 10;

// Four hex digits; -1 when any other character is among them.
int ReadHexField(std::string_view field) {
    std::uint32_t value = 0;
    return ParseHex(field, value) ? static_cast<int>(value) : -1;
}

constexpr std::size_t kLengthDigits = 4;
// Wide enough for any data a packet can carry.
constexpr std::size_t kMaxLengthDigits = 9;

// The sender writes the data length with "%04d", so data of 10000 characters
// and more widens the field. The field is the run of digits whose value is
// the length of what follows it; when no run fits (a sender that counts
// differently), the first four characters are taken as they always were.
std::size_t LengthFieldWidth(std::string_view rest) {
    for (std::size_t width = kLengthDigits; width <= kMaxLengthDigits && width <= rest.size();
         ++width) {
        const char c = rest[width - 1];
        if (c < '0' || c > '9')
            break;
        std::size_t value = 0;
        bool digits = true;
        for (std::size_t i = 0; i < width && digits; ++i) {
            digits = rest[i] >= '0' && rest[i] <= '9';
            value = value * 10 + static_cast<std::size_t>(rest[i] - '0');
        }
        if (digits && value == rest.size() - width)
            return width;
    }
    return kLengthDigits;
}

} // namespace

CTermMessage::CTermMessage(int number, int code, std::string data)
    : number_(number), code_(code), data_(std::move(data)) {}

bool CTermMessage::CanBuildText() const {
    return number_ >= 0 && number_ <= kMaxNumber && code_ >= 0;
}

bool CTermMessage::BuildText(std::string& text) const {
    if (!CanBuildText())
        return false;
    std::string data = Utf8ToCp1251(data_);
    char header[40];
    const char* format = number_ <= 9999 ? "%04d%02d%04zu" : "H%04X%02d%04zu";
    int n = std::snprintf(header, sizeof header, format, number_, code_, data.size());
    text.assign(header, static_cast<std::size_t>(n));
    text += data;
    return true;
}

bool CTermMessage::ReadText(std::string_view text) {
    if (text.size() < kMinText)
        return false;
    int number;
    std::size_t offset;
    if (text[0] != 'H') {
        number = ReadLenientInteger(text.substr(0, 4));
        offset = 4;
    } else {
        if (text.size() < kMinText + 1)
            return false;
        number = ReadHexField(text.substr(1, 4));
        offset = 5;
    }
    int code = ReadLenientInteger(text.substr(offset, 2));
    const std::size_t width = LengthFieldWidth(text.substr(offset + 2));
    int length = ReadLenientInteger(text.substr(offset + 2, width));
    if (number < 0 || code < 0 || length < 0)
        return false;
    number_ = number;
    code_ = code;
    data_ = Cp1251ToUtf8(text.substr(offset + 2 + width));
    return true;
}

} // namespace tornu
