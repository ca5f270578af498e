#pragma once
// A value handed to the driver as a bound parameter of a statement: NULL, an
// integer or a text. A text is a view: what it views must outlive the call
// the value is given to.
#include <string>
#include <string_view>

namespace tornu {

struct DbValue {
    enum class Kind : unsigned char { Null, Integer, Text };

    DbValue() = default;
    DbValue(int value) : kind(Kind::Integer), number(value) {}
    DbValue(std::string_view value) : kind(Kind::Text), text(value) {}
    DbValue(const std::string& value) : DbValue(std::string_view(value)) {}
    DbValue(const char* value) : DbValue(std::string_view(value)) {}
    DbValue(bool) = delete;
    // A temporary text would be gone before the statement runs.
    DbValue(std::string&&) = delete;

    bool operator==(const DbValue&) const = default;

    Kind kind = Kind::Null;
    int number = 0;
    std::string_view text;
};

} // namespace tornu
