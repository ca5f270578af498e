#pragma once
// What the "Телефонная книга" and "Ключи" dialogs show, and the check of the
// "Номер телефона" dialog.
#include "doc/OptionViewModels.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CCatalogue;
class CDevice;

inline constexpr std::string_view kNoPhoneBookLayoutMessage =
    "Не найдено описание полей телефонной книги для устройства";
inline constexpr std::string_view kPhoneDigitsMessage =
    "Номер телефона должен состоять из цифр (возможно использования символа '+' в начале номера)";
inline constexpr std::string_view kSmsPhoneFormatMessage =
    "Номер телефона для СМС должен быть записан в международном формате (11 цифр и символ '+' "
    "в начале номера)";
inline constexpr std::string_view kBadKeyMessage = "Введен некорректный ключ";
inline constexpr std::string_view kMasterKeyLabel = "Мастер";
inline constexpr int kPhoneNumberMaxLength = 12; // characters the number box takes
inline constexpr Rgb kPhoneBookGreyBand{192, 192, 192};

struct PhoneBookColumn {
    int bit = 0;       // mask bit, 0 to 23
    std::string label; // the layout's label for it
};

struct PhoneBookRow {
    int entry = 0;      // index in the device's phone list
    std::string number; // "№", counted from 1
    std::string phone;
    std::string type; // "SMS", "VOICE", "DATA"
    int typeIndex = 0;
    std::uint32_t mask = 0;
    bool grey = false; // the banding rule
    bool pending = false; // changed here, not yet written to the terminal
};

struct PhoneBookModel {
    // False when the device type's layout ("BitMask" without "PHBOOK") is not
    // in the catalogue: the dialog is not shown (kNoPhoneBookLayoutMessage).
    bool hasLayout = false;
    std::vector<PhoneBookColumn> columns; // non-empty labels, in bit order
    std::vector<PhoneBookRow> rows;
};

PhoneBookModel MakePhoneBookModel(const CDevice& device, const CCatalogue& catalogue);

// Grey rows of the banding: with n entries and g = n / 3, row i is grey when
// g > 0 and i % g >= g / 2.
bool PhoneBookRowGrey(std::size_t row, std::size_t count);

// The "Номер телефона" check of a typed number for an entry of `typeIndex`
// (0 SMS): the message to answer with, nothing when it may be stored.
std::optional<std::string_view> CheckPhoneNumberInput(std::string_view typed, int typeIndex);

struct KeyRow {
    int index = 0;
    std::string label; // "Мастер" for key 0, else its position
    std::string code;
    std::string owner;
    bool pending = false; // the code changed here, not yet written to the terminal
};

std::vector<KeyRow> MakeKeyListModel(const CDevice& device);

} // namespace tornu
