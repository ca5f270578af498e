#pragma once
// How each command of an exchange ended, and how the results list says it.
#include <cstdint>
#include <string_view>

namespace tornu {

inline constexpr std::int32_t kCommandNotCompleted = 0;
inline constexpr std::int32_t kCommandDone = 1;
inline constexpr std::int32_t kCommandFailed = 2;

// "Успешно выполнена" for a command carried out, "Не завершена" for one never
// reached; a failed command shows its error line.
std::string_view CommandResultText(std::int32_t state, std::string_view errorLine);

} // namespace tornu
