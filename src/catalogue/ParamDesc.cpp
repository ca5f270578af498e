#include "catalogue/ParamDesc.h"

#include "catalogue/DescriptionText.h"
#include "expr/ExprEvaluator.h"
#include "protocol/ConfigText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace tornu {

namespace {

constexpr std::string_view kYes = "Да";
constexpr std::string_view kNo = "Нет";

// Decimals beyond this are a slip in the catalogue; a double carries no
// meaningful digits there, and honouring millions of them would only exhaust
// memory.
constexpr int kMaxDecimals = 64;

std::string FormatInteger(std::int32_t value) {
    return std::to_string(value);
}

// "%f" (decimals < 0) or "%.<decimals>f", always with "." as the point: the
// desktop program sets a locale whose point may be ",", but stored and
// displayed values keep the device's notation.
std::string FormatFixed(double value, std::int32_t decimals) {
    const int precision = decimals < 0 ? 6 : std::min<int>(decimals, kMaxDecimals);
    // Integer digits of the largest double, sign, point and the decimals.
    std::string text(320 + static_cast<std::size_t>(precision), '\0');
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value,
                                         std::chars_format::fixed, precision);
    text.resize(ec == std::errc() ? static_cast<std::size_t>(end - text.data()) : 0);
    return text;
}

// Units in the last place within which a value counts as the integer next to
// it: the noise of a few floating-point steps, never a real fraction.
constexpr double kNoiseUlps = 4.0;

// Truncation toward zero; a value that is not finite or falls outside the
// 32-bit range has no integer form and fails the conversion. A value a
// rounding error away from an integer counts as that integer first, so that
// 0.29 entered with an output expression "VAL*100" stores 29, not 28, while
// 1999999999.9999 stays below 2000000000.
bool TruncateToInt32(double value, std::int32_t& integer) {
    if (!std::isfinite(value))
        return false;
    const double nearest = std::round(value);
    const double ulp = std::nextafter(std::fabs(nearest), HUGE_VAL) - std::fabs(nearest);
    const double truncated =
        std::fabs(value - nearest) <= kNoiseUlps * ulp ? nearest : std::trunc(value);
    if (truncated < -2147483648.0 || truncated > 2147483647.0)
        return false;
    integer = static_cast<std::int32_t>(truncated);
    return true;
}

// Every conversion gets an evaluator of its own that knows only "VAL", so no
// value of an earlier conversion can leak into this one.
bool EvaluateWithVal(std::string_view expression, std::string_view val, double& result) {
    CExprEvaluator evaluator;
    evaluator.Reset();
    if (!evaluator.Variables().SetVariable("VAL", val))
        return false;
    double value = 0;
    if (!evaluator.Evaluate(expression, value) || !std::isfinite(value))
        return false;
    result = value;
    return true;
}

bool RequireText(std::string_view text, std::string_view key, std::string& value,
                 std::string* reason) {
    if (!GetDescriptionValue(text, key, value))
        return RefuseDescription(reason, "нет ключа " + std::string(key));
    if (value.empty())
        return RefuseDescription(reason, "пустое " + std::string(key));
    return true;
}

} // namespace

bool CParamDesc::Read(std::string_view descriptionText, std::string* reason) {
    CParamDesc read;
    GetDescriptionValue(descriptionText, "DEFLT", read.default_);
    GetDescriptionValue(descriptionText, "GROUP", read.group_);
    GetDescriptionValue(descriptionText, "CMNT", read.comment_);
    if (!RequireText(descriptionText, "NAME", read.name_, reason) ||
        !RequireText(descriptionText, "DESC", read.description_, reason) ||
        !read.ReadKind(descriptionText, reason) || !read.ReadAccess(descriptionText, reason) ||
        !read.ReadKindDetails(descriptionText, reason))
        return false;
    *this = std::move(read);
    return true;
}

bool CParamDesc::ReadKind(std::string_view descriptionText, std::string* reason) {
    std::string vtype;
    if (!GetDescriptionValue(descriptionText, "VTYPE", vtype))
        return RefuseDescription(reason, "нет ключа VTYPE");
    if (vtype.empty())
        return RefuseDescription(reason, "пустое VTYPE");
    switch (vtype[0]) {
    case 'N':
        kind_ = ParamValueKind::Integer;
        break;
    case 'F':
        kind_ = ParamValueKind::Fixed;
        break;
    case 'S':
        kind_ = ParamValueKind::String;
        break;
    case 'B':
        kind_ = ParamValueKind::YesNo;
        break;
    case 'L':
        kind_ = ParamValueKind::List;
        break;
    default:
        return RefuseDescription(reason, "неверный VTYPE");
    }
    // "F2": two digits after the point; a lone "F" leaves the decimals unset.
    if (kind_ == ParamValueKind::Fixed && vtype.size() > 1)
        decimals_ = ReadLenientInteger(std::string_view(vtype).substr(1));
    return true;
}

bool CParamDesc::ReadAccess(std::string_view descriptionText, std::string* reason) {
    std::string dtype;
    if (!GetDescriptionValue(descriptionText, "DTYPE", dtype))
        return RefuseDescription(reason, "нет ключа DTYPE");
    if (dtype == "I")
        access_ = ParamAccess::In;
    else if (dtype == "O")
        access_ = ParamAccess::Out;
    else if (dtype == "IO")
        access_ = ParamAccess::InOut;
    else
        return RefuseDescription(reason, "неверный DTYPE");
    return true;
}

bool CParamDesc::ReadKindDetails(std::string_view descriptionText, std::string* reason) {
    if (kind_ == ParamValueKind::Integer || kind_ == ParamValueKind::Fixed) {
        GetDescriptionValue(descriptionText, "IEXPR", inputExpr_);
        GetDescriptionValue(descriptionText, "OEXPR", outputExpr_);
    } else if (kind_ == ParamValueKind::List) {
        std::string list;
        if (!GetDescriptionValue(descriptionText, "LIST", list))
            return RefuseDescription(reason, "нет ключа LIST");
        listItems_ = SplitList(list);
        if (listItems_.empty())
            return RefuseDescription(reason, "пустой LIST");
    }
    return true;
}

bool CParamDesc::ToDisplay(std::optional<std::string_view> stored, std::string& display) const {
    const std::string_view text = stored ? *stored : std::string_view(default_);
    std::int32_t index = 0;
    switch (kind_) {
    case ParamValueKind::Integer:
        return IntegerToDisplay(text, display);
    case ParamValueKind::Fixed:
        return FixedToDisplay(text, display);
    case ParamValueKind::String:
        display = text;
        return true;
    case ParamValueKind::YesNo:
        if (!ParseInteger(text, index))
            return false;
        display = index != 0 ? kYes : kNo;
        return true;
    case ParamValueKind::List:
        if (!ParseInteger(text, index) || index < 0 ||
            static_cast<std::size_t>(index) >= listItems_.size())
            return false;
        display = listItems_[static_cast<std::size_t>(index)];
        return true;
    }
    return false;
}

bool CParamDesc::IntegerToDisplay(std::string_view stored, std::string& display) const {
    std::int32_t value = 0;
    if (!ParseInteger(stored, value))
        return false;
    if (!inputExpr_.empty()) {
        double result = 0;
        if (!EvaluateWithVal(inputExpr_, FormatInteger(value), result) ||
            !TruncateToInt32(result, value))
            return false;
    }
    display = FormatInteger(value);
    return true;
}

bool CParamDesc::FixedToDisplay(std::string_view stored, std::string& display) const {
    double value = 0;
    if (!ParseNumber(stored, value))
        return false;
    // Without an expression the raw value shows with six decimals whatever
    // "VTYPE" says: the decimals belong to the converted value.
    if (inputExpr_.empty()) {
        display = FormatFixed(value, -1);
        return true;
    }
    double result = 0;
    if (!EvaluateWithVal(inputExpr_, FormatFixed(value, -1), result))
        return false;
    display = FormatFixed(result, decimals_);
    return true;
}

bool CParamDesc::FromDisplay(std::string_view display, std::string& stored) const {
    switch (kind_) {
    case ParamValueKind::Integer:
        return IntegerFromDisplay(display, stored);
    case ParamValueKind::Fixed:
        return FixedFromDisplay(display, stored);
    case ParamValueKind::String:
        // A ";" would end the pair in the parameter text sent to the device,
        // and what follows it would read as further parameters; CR, LF and
        // "~" would break the packet.
        if (!IsMessageSafe(display))
            return false;
        stored = display;
        return true;
    case ParamValueKind::YesNo:
        if (display != kYes && display != kNo)
            return false;
        stored = display == kYes ? "1" : "0";
        return true;
    case ParamValueKind::List:
        return ListFromDisplay(display, stored);
    }
    return false;
}

bool CParamDesc::IntegerFromDisplay(std::string_view display, std::string& stored) const {
    std::int32_t value = 0;
    if (!ParseInteger(display, value))
        return false;
    if (!outputExpr_.empty()) {
        double result = 0;
        if (!EvaluateWithVal(outputExpr_, FormatInteger(value), result) ||
            !TruncateToInt32(result, value))
            return false;
    }
    stored = FormatInteger(value);
    return true;
}

bool CParamDesc::FixedFromDisplay(std::string_view display, std::string& stored) const {
    double value = 0;
    if (!ParseNumber(display, value))
        return false;
    if (!outputExpr_.empty() && !EvaluateWithVal(outputExpr_, FormatFixed(value, -1), value))
        return false;
    // The device keeps fixed-point values as integers in its own units.
    std::int32_t units = 0;
    if (!TruncateToInt32(value, units))
        return false;
    stored = FormatInteger(units);
    return true;
}

bool CParamDesc::ListFromDisplay(std::string_view display, std::string& stored) const {
    for (std::size_t i = 0; i < listItems_.size(); ++i) {
        if (listItems_[i] == display) {
            stored = std::to_string(i);
            return true;
        }
    }
    return false;
}

} // namespace tornu
