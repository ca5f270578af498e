#include "catalogue/BusDeviceType.h"

#include "catalogue/DescriptionText.h"
#include "protocol/ConfigText.h"

#include <utility>

namespace tornu {

bool CBusDeviceType::Read(std::string_view descriptionText, std::string* reason) {
    CBusDeviceType read;
    std::string value;
    if (GetDescriptionValue(descriptionText, "PLIST", value))
        read.paramList_ = SplitList(value);
    GetDescriptionValue(descriptionText, "DTYPE", read.typeCode_);
    GetDescriptionValue(descriptionText, "PHBOOK", read.phoneBookLayout_);

    if (!ReadNameAndCounts(descriptionText, read.name_,
                           {{"DMST", &read.topLevel_},
                            {"DSLV", &read.subordinate_},
                            {"DSCNT", &read.loopCount_},
                            {"TLN", &read.phoneBookLength_}},
                           reason))
        return false;
    read.descriptionText_.assign(descriptionText);
    *this = std::move(read);
    return true;
}

bool CBusDeviceType::Copy(const CBusDeviceType& other) {
    if (!other.IsValid())
        return false;
    *this = other;
    return true;
}

bool CBusDeviceType::IsValid() const {
    return !name_.empty() && loopCount_ >= 0 && topLevel_ >= 0 && subordinate_ >= 0 &&
           phoneBookLength_ >= 0;
}

} // namespace tornu
