#pragma once
// A device parameter: one entry of the catalogue section "BusDevice.Parameters".
//
//   NAME=Delay;DESC=Задержка;GROUP=Таймеры;VTYPE=F1;DTYPE=IO;DEFLT=50;IEXPR=VAL/10;OEXPR=VAL*10
//   NAME=Mode;DESC=Режим;VTYPE=L;DTYPE=O;LIST=Выкл,Вкл,Авто;DEFLT=0
//
// A device keeps each value in stored form (the text the device itself sends
// and accepts); the display form is made on demand by ToDisplay and turned back
// by FromDisplay. Integer and fixed-point values may carry an expression each
// way, evaluated with the single variable "VAL".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

// "VTYPE": only its first letter counts.
enum class ParamValueKind : std::int32_t {
    Integer = 0, // "N": decimal integer, shown as stored or through IEXPR
    Fixed = 1,   // "F": stored as an integer, shown with a fractional part
    String = 2,  // "S": any text, shown as stored
    YesNo = 3,   // "B": "0" is "Нет", any other integer "Да"
    List = 4,    // "L": 0-based index into the LIST items
};

// "DTYPE": which way the value travels between the device and the program.
enum class ParamAccess : std::int32_t {
    In = 0,    // "I": read from the device's status reply, shown but not edited
    Out = 1,   // "O": edited here and sent to the device
    InOut = 2, // "IO": both
};

class CParamDesc {
public:
    // True when the text describes a valid parameter; the object is changed
    // only then. On failure `reason`, when given, tells the first rule broken
    // ("нет ключа DESC", "неверный VTYPE", "неверный DTYPE", "пустой LIST").
    bool Read(std::string_view descriptionText, std::string* reason = nullptr);

    const std::string& Group() const { return group_; }
    const std::string& Name() const { return name_; }
    // "DESC": the label of the parameter's row.
    const std::string& Description() const { return description_; }
    // "CMNT": the explanatory text of the row.
    const std::string& Comment() const { return comment_; }
    // "DEFLT": a value in stored form.
    const std::string& Default() const { return default_; }
    ParamValueKind Kind() const { return kind_; }
    // Digits after the point of a fixed-point value shown through IEXPR; -1
    // when "VTYPE" gives none.
    std::int32_t Decimals() const { return decimals_; }
    // "IEXPR": stored to display; "OEXPR": display to stored.
    const std::string& InputExpression() const { return inputExpr_; }
    const std::string& OutputExpression() const { return outputExpr_; }
    ParamAccess Access() const { return access_; }
    // Taken from the device's status reply.
    bool IsReadable() const { return access_ != ParamAccess::Out; }
    // Edited by the operator and sent to the device.
    bool IsWritable() const { return access_ != ParamAccess::In; }
    // "LIST" items of a list value, as written (no trimming, empty pieces kept).
    const std::vector<std::string>& ListItems() const { return listItems_; }

    // Display text of a stored value; with none, of the default. False, with
    // `display` untouched, when the stored text does not fit the kind, the
    // expression fails, or its result is not finite or (for an integer)
    // outside the 32-bit range.
    bool ToDisplay(std::optional<std::string_view> stored, std::string& display) const;
    // Stored text of a display text; false, with `stored` untouched, on the
    // same grounds, and for a text value holding ";", which the device would
    // read as the end of the value.
    bool FromDisplay(std::string_view display, std::string& stored) const;

private:
    bool ReadKind(std::string_view descriptionText, std::string* reason);
    bool ReadAccess(std::string_view descriptionText, std::string* reason);
    bool ReadKindDetails(std::string_view descriptionText, std::string* reason);

    bool IntegerToDisplay(std::string_view stored, std::string& display) const;
    bool FixedToDisplay(std::string_view stored, std::string& display) const;
    bool IntegerFromDisplay(std::string_view display, std::string& stored) const;
    bool FixedFromDisplay(std::string_view display, std::string& stored) const;
    bool ListFromDisplay(std::string_view display, std::string& stored) const;

    std::string group_;
    std::string name_;
    std::string description_;
    std::string comment_;
    std::string default_;
    ParamValueKind kind_ = ParamValueKind::String;
    std::int32_t decimals_ = -1;
    std::string inputExpr_;
    std::string outputExpr_;
    ParamAccess access_ = ParamAccess::In;
    std::vector<std::string> listItems_;
};

} // namespace tornu
