#include "catalogue/HostDeviceType.h"

#include "catalogue/DescriptionText.h"

#include <utility>

namespace tornu {

bool CHostDeviceType::Read(std::string_view descriptionText, std::string* reason) {
    CHostDeviceType read;
    if (!read.devicePart_.Read(descriptionText, reason))
        return false;
    if (!GetDescriptionNumber(descriptionText, "DADDR", read.ownAddress_))
        return RefuseDescription(reason, "нет ключа DADDR");
    if (!ReadNameAndCounts(descriptionText, read.name_,
                           {{"TSCNT", &read.loopNumbers_},
                            {"TDCNT", &read.busAddresses_},
                            {"RS485", &read.rs485_}},
                           reason))
        return false;
    read.descriptionText_.assign(descriptionText);
    *this = std::move(read);
    return true;
}

bool CHostDeviceType::Copy(const CHostDeviceType& other) {
    if (!other.IsValid())
        return false;
    *this = other;
    return true;
}

bool CHostDeviceType::IsValid() const {
    return devicePart_.IsValid() && !name_.empty() && loopNumbers_ >= 0 && rs485_ >= 0 &&
           busAddresses_ >= 0;
}

} // namespace tornu
