#pragma once
// A network-device type: one entry of the catalogue section "BusDevice.Type",
// and the built-in device part of every base-module type.
//
//   NAME=Раздел-8;DTYPE=S;DSCNT=8;DMST=1;DSLV=0;TLN=8;PHBOOK=BitMask;PLIST=DLYIN,DLYOUT
//
// The whole description text is kept: device records store it and rebuild
// their own copy of the type from it, so a later catalogue change leaves
// existing devices as they were made. The text and the fields parsed from it
// never change after reading, so copies share them: a fleet's hundreds of
// thousands of devices hold a few types.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CBusDeviceType {
public:
    // Loop numbers go on the line as three digits ("SHL" of a status reply).
    static constexpr std::int32_t kMaxLoopCount = 999;
    // The phone book travels in one packet of at most 65536 characters:
    // three kinds of 19 characters an entry.
    static constexpr std::int32_t kMaxPhoneBookLength = 1000;

    // True when the text describes a valid type; the object is changed only
    // then. On failure `reason`, when given, tells the first rule broken
    // ("нет ключа TLN", "пустое NAME", "отрицательное значение DSCNT").
    bool Read(std::string_view descriptionText, std::string* reason = nullptr);
    // Takes every field of `other`; refuses (false, nothing changed) a type
    // that Read would not have accepted.
    bool Copy(const CBusDeviceType& other);
    // Name not empty, the four numbers 0 or more and the counts within their bounds.
    bool IsValid() const;

    const std::string& Name() const { return fields_->name; }
    const std::string& DescriptionText() const { return fields_->descriptionText; }
    // Parameter names from "PLIST", as written (no trimming, empty pieces kept).
    const std::vector<std::string>& ParamList() const { return fields_->paramList; }
    // "PHBOOK"; empty means the layout "BitMask".
    const std::string& PhoneBookLayoutName() const { return fields_->phoneBookLayout; }
    // "DTYPE": prefix of a slave device's entry in the loop configuration text.
    const std::string& TypeCode() const { return fields_->typeCode; }
    // "DSCNT": the most loops a device of this type can have.
    std::int32_t LoopCount() const { return fields_->loopCount; }
    // "DMST": not 0 when a device of this type may stand directly on a terminal.
    std::int32_t TopLevelFlag() const { return fields_->topLevel; }
    // "DSLV": not 0 when a device of this type may be subordinate to another.
    std::int32_t SubordinateFlag() const { return fields_->subordinate; }
    bool CanBeTopLevel() const { return fields_->topLevel != 0; }
    bool CanBeSubordinate() const { return fields_->subordinate != 0; }
    // "TLN": phone-book entries of each of the three phone kinds.
    std::int32_t PhoneBookLength() const { return fields_->phoneBookLength; }

    struct Fields {
        std::string descriptionText;
        std::vector<std::string> paramList;
        std::string name;
        std::string phoneBookLayout;
        std::string typeCode;
        std::int32_t loopCount = 0;
        std::int32_t topLevel = 0;
        std::int32_t subordinate = 0;
        std::int32_t phoneBookLength = 0;
    };

private:
    static const std::shared_ptr<const Fields>& Empty();

    std::shared_ptr<const Fields> fields_ = Empty();
};

} // namespace tornu
