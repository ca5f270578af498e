#include "protocol/CommandResult.h"

#include <utility>

namespace tornu {
namespace {

constexpr std::pair<std::int32_t, std::string_view> kResultTexts[] = {
    {kCommandDone, "Успешно выполнена"},
    {kCommandNotCompleted, "Не завершена"},
};

} // namespace

std::string_view CommandResultText(std::int32_t state, std::string_view errorLine) {
    for (const auto& [known, text] : kResultTexts)
        if (state == known)
            return text;
    return errorLine;
}

} // namespace tornu
