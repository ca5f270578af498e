#include "catalogue/BusDeviceType.h"

#include "catalogue/DescriptionText.h"
#include "catalogue/ParsedTypeCache.h"
#include "protocol/ConfigText.h"

#include <utility>

namespace tornu {

namespace {

std::shared_ptr<const CBusDeviceType::Fields> Parse(std::string_view descriptionText,
                                                    std::string* reason) {
    auto read = std::make_shared<CBusDeviceType::Fields>();
    read->descriptionText.assign(descriptionText);
    std::string value;
    if (GetDescriptionValue(descriptionText, "PLIST", value))
        read->paramList = SplitList(value);
    GetDescriptionValue(descriptionText, "DTYPE", read->typeCode);
    GetDescriptionValue(descriptionText, "PHBOOK", read->phoneBookLayout);
    if (!ReadNameAndCounts(descriptionText, read->name,
                           {{"DMST", &read->topLevel},
                            {"DSLV", &read->subordinate},
                            {"DSCNT", &read->loopCount, CBusDeviceType::kMaxLoopCount},
                            {"TLN", &read->phoneBookLength, CBusDeviceType::kMaxPhoneBookLength}},
                           reason))
        return nullptr;
    return read;
}

} // namespace

const std::shared_ptr<const CBusDeviceType::Fields>& CBusDeviceType::Empty() {
    static const std::shared_ptr<const Fields> empty = std::make_shared<Fields>();
    return empty;
}

bool CBusDeviceType::Read(std::string_view descriptionText, std::string* reason) {
    auto read = CParsedTypeCache::Find<Fields>(descriptionText, reason, Parse);
    if (!read)
        return false;
    fields_ = std::move(read);
    return true;
}

bool CBusDeviceType::Copy(const CBusDeviceType& other) {
    if (!other.IsValid())
        return false;
    *this = other;
    return true;
}

bool CBusDeviceType::IsValid() const {
    const Fields& f = *fields_;
    return !f.name.empty() && f.loopCount >= 0 && f.loopCount <= kMaxLoopCount &&
           f.topLevel >= 0 && f.subordinate >= 0 && f.phoneBookLength >= 0 &&
           f.phoneBookLength <= kMaxPhoneBookLength;
}

} // namespace tornu
