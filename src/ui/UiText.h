#pragma once
// Text crosses between the core (UTF-8 std::string) and Qt here only.
#include <QString>

#include <string>
#include <string_view>

namespace tornu::ui {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string S(const QString& text) { return text.toStdString(); }

} // namespace tornu::ui
