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
    int length = ReadLenientInteger(text.substr(offset + 2, 4));
    if (number < 0 || code < 0 || length < 0)
        return false;
    number_ = number;
    code_ = code;
    data_ = Cp1251ToUtf8(text.substr(offset + 6));
    return true;
}

} // namespace tornu
