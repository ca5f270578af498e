#pragma once
// One message of the terminal protocol: terminal number, code and data text.
//
// Text form on the line (Windows-1251):
//   "%04d%02d%04d" + data       number 0..9999
//   "H%04X%02d%04d" + data      number 10000..65535
// the fields being number, code and data length (bytes sent). Fields are not
// cut: a code above 99 or data over 9999 bytes widens its field; the reading
// side takes the length field as wide as the digits that give the length of
// the rest.
#include <string>
#include <string_view>

namespace tornu {

class CTermMessage {
public:
    static constexpr int kNotSet = -1;
    static constexpr int kMaxNumber = 65535;

    CTermMessage() = default;
    CTermMessage(int number, int code, std::string data = {});

    int GetNumber() const { return number_; }
    void SetNumber(int number) { number_ = number; }
    int GetCode() const { return code_; }
    void SetCode(int code) { code_ = code; }
    // UTF-8.
    const std::string& GetData() const { return data_; }
    void SetData(std::string data) { data_ = std::move(data); }

    // True when number (0..65535) and code (0 or more) are set.
    bool CanBuildText() const;

    // The text form, data converted to Windows-1251. False, text untouched,
    // when the message cannot be formed.
    bool BuildText(std::string& text) const;

    // Reads a received text; data converted back to UTF-8. Refuses texts under
    // 10 characters, bad hex digits of an "H" number and negative fields; a
    // refused text leaves the message unchanged. The length field is four
    // digits, or more when more digits give exactly the length of the data
    // after them; a length that matches no width is not held against the text.
    bool ReadText(std::string_view text);

private:
    int number_ = kNotSet;
    int code_ = kNotSet;
    std::string data_;
};

} // namespace tornu
