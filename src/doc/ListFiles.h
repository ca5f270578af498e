#pragma once
// Phone-book and key-list files: what "Загрузить/Сохранить телефонную книгу"
// and "Загрузить/Сохранить список ключей" read and write. Both files are
// Windows-1251: the phone-book file is exactly the phone-book text of the
// protocol, the key list one "code,owner" line (CR LF) per key.
#include <optional>
#include <string>
#include <string_view>

namespace tornu {

class CDevice;

inline constexpr std::string_view kCannotOpenFileMessage = "Невозможно открыть файл: ";
inline constexpr std::string_view kEmptyFileMessage = "Файл не содержит данных";
inline constexpr std::string_view kNoMemoryMessage = "Ошибка выделения памяти";
inline constexpr std::string_view kFileReadErrorMessage = "Ошибка чтания из файла";
inline constexpr std::string_view kPhoneBookDataMessage =
    "Ошибка обработки данных телефонной книги";
inline constexpr std::string_view kKeyListNotSavedMessage = "Ошибка записи списка ключей";
inline constexpr std::string_view kCannotCreateFileMessage = "Невозможно создать файл: ";

// Each returns the message to show, or nothing when it did its work. A
// phone book that does not read changes nothing; a key list sets every key
// its lines give.
std::optional<std::string> LoadPhoneBookFile(CDevice& device, const std::string& path);
std::optional<std::string> SavePhoneBookFile(const CDevice& device, const std::string& path);
std::optional<std::string> LoadKeyListFile(CDevice& device, const std::string& path);
std::optional<std::string> SaveKeyListFile(const CDevice& device, const std::string& path);

// The key-list text of a device (UTF-8), and its application: line i sets key
// i; an empty line leaves it; the text before the first "," is the code (an
// invalid one ignored), after it the owner. True when every key's row was saved.
std::string BuildKeyListText(const CDevice& device);
bool ApplyKeyListText(CDevice& device, std::string_view text);
// The first owner of the text longer than its column: the message naming the
// field and its limit; nothing when every line fits.
std::optional<std::string> CheckKeyListText(const CDevice& device, std::string_view text);

} // namespace tornu
