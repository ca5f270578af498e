#pragma once
// A base-module (terminal) type: one entry of the catalogue section
// "HostDevice.Type". Its text also describes the module's built-in device, so
// it must satisfy every rule of a network-device type as well.
//
//   NAME=БМ-4;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=4;PLIST=DLYIN
#include "catalogue/BusDeviceType.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tornu {

class CHostDeviceType {
public:
    // Loop numbers go on the line as three digits.
    static constexpr std::int32_t kMaxLoopNumbers = CBusDeviceType::kMaxLoopCount;
    // Device addresses go on the line as two digits ("RZD=", "DEVA=").
    static constexpr std::int32_t kMaxBusAddresses = 100;

    // True when the text describes a valid type; the object is changed only
    // then. On failure `reason`, when given, tells the first rule broken.
    bool Read(std::string_view descriptionText, std::string* reason = nullptr);
    // Takes every field of `other`; refuses (false, nothing changed) a type
    // that Read would not have accepted.
    bool Copy(const CHostDeviceType& other);
    bool IsValid() const;

    // The built-in device's type, read from the same text.
    const CBusDeviceType& DevicePart() const { return fields_->devicePart; }
    const std::string& DescriptionText() const { return fields_->descriptionText; }
    const std::string& Name() const { return fields_->name; }
    // "TSCNT": loops of one terminal are numbered 1 to this, terminal-wide.
    std::int32_t LoopNumberCount() const { return fields_->loopNumbers; }
    // "RS485": kept with the type; nothing else depends on it.
    std::int32_t Rs485() const { return fields_->rs485; }
    // "TDCNT": network devices have bus addresses 0 to this - 1.
    std::int32_t BusAddressCount() const { return fields_->busAddresses; }
    // "DADDR": address of the built-in device; negative when there is none.
    std::int32_t OwnDeviceAddress() const { return fields_->ownAddress; }
    bool HasBuiltInDevice() const { return fields_->ownAddress >= 0; }

    // Shared between copies, as the network-device type's fields are.
    struct Fields {
        std::string descriptionText;
        CBusDeviceType devicePart;
        std::string name;
        std::int32_t loopNumbers = 0;
        std::int32_t rs485 = 0;
        std::int32_t busAddresses = 0;
        std::int32_t ownAddress = -1;
    };

private:
    static const std::shared_ptr<const Fields>& Empty();

    std::shared_ptr<const Fields> fields_ = Empty();
};

} // namespace tornu
