#pragma once
// The rule for an operator's edit of a parameter value. It decides and
// stores; the user interface only shows the message that goes with the
// outcome and puts the previous text back into the editor.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tornu {

class IParamValues;

inline constexpr std::string_view kParamReadOnlyMessage =
    "Поле только для отображения, редактирвание недопустимо";
inline constexpr std::string_view kParamBadFormatMessage = "Неверный формат данных";

enum class EditOutcome {
    Stored,      // the new stored value was kept
    ReadOnly,    // an "I" parameter: show kParamReadOnlyMessage, put the previous text back
    BadFormat,   // show kParamBadFormatMessage, put the previous text back
    Ignored,     // nothing chosen, an unknown index, or a list item that did not convert
    StoreFailed, // converted, but the value could not be kept (its row was not written)
};

struct EditResult {
    EditOutcome outcome = EditOutcome::Ignored;
    // The display text of the value before the edit; none when the stored
    // value has no display form.
    std::optional<std::string> previousDisplay;
    // The new stored text when the outcome is Stored.
    std::string stored;
};

// Applies the text the operator typed (kinds N, F, S, B) or the list item he
// chose (kind L; none when nothing is chosen) to value `index`.
EditResult EditValue(IParamValues& values, std::size_t index,
                     std::optional<std::string_view> entered);

// The message to show for an outcome; empty when there is none.
std::string_view EditMessage(EditOutcome outcome);

} // namespace tornu
