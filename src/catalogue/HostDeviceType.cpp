#include "catalogue/HostDeviceType.h"

#include "catalogue/DescriptionText.h"
#include "catalogue/ParsedTypeCache.h"

#include <utility>

namespace tornu {

namespace {

std::shared_ptr<const CHostDeviceType::Fields> Parse(std::string_view descriptionText,
                                                     std::string* reason) {
    auto read = std::make_shared<CHostDeviceType::Fields>();
    read->descriptionText.assign(descriptionText);
    if (!read->devicePart.Read(descriptionText, reason))
        return nullptr;
    if (!GetDescriptionNumber(descriptionText, "DADDR", read->ownAddress)) {
        RefuseDescription(reason, "нет ключа DADDR");
        return nullptr;
    }
    if (!ReadNameAndCounts(descriptionText, read->name,
                           {{"TSCNT", &read->loopNumbers, CHostDeviceType::kMaxLoopNumbers},
                            {"TDCNT", &read->busAddresses, CHostDeviceType::kMaxBusAddresses},
                            {"RS485", &read->rs485}},
                           reason))
        return nullptr;
    // A negative address means no built-in device; any other must go on the line.
    if (read->ownAddress >= CHostDeviceType::kMaxBusAddresses) {
        RefuseDescription(reason, "значение DADDR больше " +
                                      std::to_string(CHostDeviceType::kMaxBusAddresses - 1));
        return nullptr;
    }
    return read;
}

} // namespace

const std::shared_ptr<const CHostDeviceType::Fields>& CHostDeviceType::Empty() {
    static const std::shared_ptr<const Fields> empty = std::make_shared<Fields>();
    return empty;
}

bool CHostDeviceType::Read(std::string_view descriptionText, std::string* reason) {
    auto read = CParsedTypeCache::Find<Fields>(descriptionText, reason, Parse);
    if (!read)
        return false;
    fields_ = std::move(read);
    return true;
}

bool CHostDeviceType::Copy(const CHostDeviceType& other) {
    if (!other.IsValid())
        return false;
    *this = other;
    return true;
}

bool CHostDeviceType::IsValid() const {
    const Fields& f = *fields_;
    return f.devicePart.IsValid() && !f.name.empty() && f.loopNumbers >= 0 &&
           f.loopNumbers <= kMaxLoopNumbers && f.rs485 >= 0 && f.busAddresses >= 0 &&
           f.busAddresses <= kMaxBusAddresses && f.ownAddress < kMaxBusAddresses;
}

} // namespace tornu
