#include "catalogue/ParamEdit.h"

#include "catalogue/ParamDesc.h"
#include "catalogue/ParamValue.h"
#include "protocol/ConfigText.h"

namespace tornu {

namespace {

// The typed text must be a number of the value's kind before it is converted.
bool PassesTextCheck(ParamValueKind kind, std::string_view text) {
    std::int32_t integer = 0;
    double number = 0;
    if (kind == ParamValueKind::Integer)
        return ParseInteger(text, integer);
    if (kind == ParamValueKind::Fixed)
        return ParseNumber(text, number);
    return true;
}

EditOutcome Store(IParamValues& values, std::size_t index, const std::string& stored) {
    return values.SetValue(index, stored) ? EditOutcome::Stored : EditOutcome::StoreFailed;
}

} // namespace

EditResult EditValue(IParamValues& values, std::size_t index,
                     std::optional<std::string_view> entered) {
    EditResult result;
    const CParamDesc* desc = index < values.Count() ? values.Desc(index) : nullptr;
    if (!desc)
        return result;
    std::string previous;
    if (desc->ToDisplay(values.Value(index), previous))
        result.previousDisplay = std::move(previous);
    if (!desc->IsWritable()) {
        result.outcome = EditOutcome::ReadOnly;
        return result;
    }
    if (!entered)
        return result;
    std::string stored;
    if (desc->Kind() == ParamValueKind::List) {
        // A list choice that does not convert is dropped without a word.
        if (desc->FromDisplay(*entered, stored))
            result.outcome = Store(values, index, stored);
    } else if (!PassesTextCheck(desc->Kind(), *entered) || !desc->FromDisplay(*entered, stored)) {
        result.outcome = EditOutcome::BadFormat;
    } else {
        result.outcome = Store(values, index, stored);
    }
    if (result.outcome == EditOutcome::Stored)
        result.stored = std::move(stored);
    return result;
}

std::string_view EditMessage(EditOutcome outcome) {
    switch (outcome) {
    case EditOutcome::ReadOnly:
        return kParamReadOnlyMessage;
    case EditOutcome::BadFormat:
        return kParamBadFormatMessage;
    default:
        return {};
    }
}

} // namespace tornu
