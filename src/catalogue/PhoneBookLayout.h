#pragma once
// A phone-book layout: what each bit of a phone entry's mask means. One entry
// of the catalogue section "BusDevice.PhoneBook"; the key is the layout's name.
//
//   BitMask=BIT0=Тревога;BIT1=Пожар;BIT2=Неиспр.
//
// The phone-book window shows one mask column for every non-empty label.
#include <array>
#include <string>
#include <string_view>

namespace tornu {

class CPhoneBookLayout {
public:
    static constexpr int kBitCount = 24;
    // The layout a type uses when its "PHBOOK" is empty.
    static constexpr std::string_view kDefaultName = "BitMask";

    // Label n from "BIT<n>", read plainly (no quote handling, first match);
    // a missing pair leaves the label empty. Any text gives a layout.
    void Read(std::string_view name, std::string_view value);

    const std::string& Name() const { return name_; }
    // Empty for a bit outside 0 to 23.
    const std::string& Label(int bit) const;
    const std::array<std::string, kBitCount>& Labels() const { return labels_; }

private:
    std::string name_;
    std::array<std::string, kBitCount> labels_;
};

} // namespace tornu
