#include "catalogue/PhoneBookLayout.h"

#include "protocol/ConfigText.h"

namespace tornu {

void CPhoneBookLayout::Read(std::string_view name, std::string_view value) {
    name_.assign(name);
    for (int bit = 0; bit < kBitCount; ++bit) {
        std::string& label = labels_[static_cast<std::size_t>(bit)];
        label.clear();
        GetConfigValue(value, "BIT" + std::to_string(bit), label);
    }
}

const std::string& CPhoneBookLayout::Label(int bit) const {
    static const std::string kNone;
    if (bit < 0 || bit >= kBitCount)
        return kNone;
    return labels_[static_cast<std::size_t>(bit)];
}

} // namespace tornu
