#include "doc/PhoneBookModel.h"

#include "catalogue/Catalogue.h"
#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/DevicePhone.h"
#include "doc/PendingNodes.h"
#include "protocol/ConfigText.h"

#include <array>

namespace tornu {

namespace {

constexpr std::array<const char*, 3> kPhoneTypeNames = {"SMS", "VOICE", "DATA"};
constexpr int kSmsType = 0;
constexpr std::size_t kSmsLength = 12; // "+" and 11 digits

} // namespace

bool PhoneBookRowGrey(std::size_t row, std::size_t count) {
    const std::size_t band = count / 3;
    return band > 0 && row % band >= band / 2;
}

PhoneBookModel MakePhoneBookModel(const CDevice& device, const CCatalogue& catalogue) {
    PhoneBookModel model;
    const CPhoneBookLayout* layout =
        catalogue.FindPhoneBookLayout(device.Type().PhoneBookLayoutName());
    model.hasLayout = layout != nullptr;
    for (int bit = 0; layout && bit < CPhoneBookLayout::kBitCount; ++bit)
        if (!layout->Label(bit).empty())
            model.columns.push_back({bit, layout->Label(bit)});
    const auto& phones = device.Phones();
    const std::set<std::string> pending = PendingItemsOf(device, PendingKind::Phone);
    for (std::size_t i = 0; i < phones.size(); ++i) {
        const CDevicePhone& phone = *phones[i];
        const int type = phone.Type();
        PhoneBookRow row;
        row.entry = static_cast<int>(i);
        row.number = std::to_string(i + 1);
        row.phone = phone.Phone();
        row.typeIndex = type;
        row.type = type >= 0 && type < 3 ? kPhoneTypeNames[static_cast<std::size_t>(type)] : "";
        row.mask = static_cast<std::uint32_t>(phone.Mask());
        row.grey = PhoneBookRowGrey(i, phones.size());
        row.pending = pending.contains(std::to_string(i));
        model.rows.push_back(std::move(row));
    }
    return model;
}

std::optional<std::string_view> CheckPhoneNumberInput(std::string_view typed, int typeIndex) {
    std::string number(typed);
    TrimText(number);
    for (std::size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (!(c >= '0' && c <= '9') && !(c == '+' && i == 0))
            return kPhoneDigitsMessage;
    }
    if (typeIndex == kSmsType && !number.empty() &&
        (number.size() != kSmsLength || number.front() != '+'))
        return kSmsPhoneFormatMessage;
    return std::nullopt;
}

std::vector<KeyRow> MakeKeyListModel(const CDevice& device) {
    std::vector<KeyRow> rows;
    const auto& keys = device.Keys();
    const std::set<std::string> pending = PendingItemsOf(device, PendingKind::Key);
    for (std::size_t i = 0; i < keys.size(); ++i)
        rows.push_back({static_cast<int>(i),
                        i == 0 ? std::string(kMasterKeyLabel) : std::to_string(i),
                        std::string(keys[i]->Code()), std::string(keys[i]->Owner()),
                        pending.contains(std::to_string(i))});
    return rows;
}

} // namespace tornu
