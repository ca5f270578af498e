#include "doc/ListFiles.h"

#include "db/DbTransaction.h"
#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/Tables.h"
#include "protocol/CommandSet.h"
#include "protocol/ConfigText.h"
#include "settings/Encoding.h"

#include <filesystem>
#include <fstream>
#include <new>

namespace tornu {

namespace {

std::string FullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.string();
}

// The whole file as UTF-8 text, or the message of the step that failed.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec))
        return std::string(kCannotOpenFileMessage) + FullPath(path);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return std::string(kEmptyFileMessage);
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return std::string(kNoMemoryMessage);
    }
    in.seekg(0);
    in.read(bytes.data(), size);
    if (in.gcount() != size)
        return std::string(kFileReadErrorMessage);
    text = Cp1251ToUtf8(bytes);
    return std::nullopt;
}

// A key list is lines of text: a control character other than a tab or a
// line break means a file of some other kind, of which no line can be trusted.
bool IsText(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F)
            return false;
    }
    return true;
}

std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = Utf8ToCp1251(text);
    if (out)
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out)
        out.close();
    if (!out)
        return std::string(kCannotCreateFileMessage) + FullPath(path);
    return std::nullopt;
}

} // namespace

std::optional<std::string> LoadPhoneBookFile(CDevice& device, const std::string& path) {
    std::string text;
    if (std::optional<std::string> failure = ReadWholeFile(path, text))
        return failure;
    // The whole book is read before any of it lands, and lands in one
    // transaction.
    const std::optional<PhoneBookReply> book = ReadPhoneBookReply(text, device.PhoneEntries());
    if (!book)
        return std::string(kPhoneBookDataMessage);
    // A number longer than its column refuses the whole book.
    for (const auto& [position, entry] : book->entries)
        if (const CResult fits =
                CheckColumnText(kDevicePhoneTable, "phone", StoredPhoneNumber(entry.number));
            !fits)
            return fits.Error();
    CDbTransaction transaction(device.Database());
    if (!device.ApplyPhoneBook(*book))
        return std::string(kPhoneBookDataMessage);
    return std::nullopt;
}

std::optional<std::string> SavePhoneBookFile(const CDevice& device, const std::string& path) {
    return WriteWholeFile(path, BuildPhoneBookText(device.PhoneEntries()));
}

std::string BuildKeyListText(const CDevice& device) {
    std::string text;
    for (const auto& key : device.Keys())
        text.append(key->Code()).append(",").append(key->Owner()).append("\r\n");
    return text;
}

std::optional<std::string> CheckKeyListText(const CDevice& device, std::string_view text) {
    const std::vector<std::string> lines = SplitLines(text);
    for (std::size_t i = 0; i < device.Keys().size() && i < lines.size(); ++i) {
        const std::size_t comma = lines[i].find(',');
        if (comma == std::string::npos)
            continue;
        if (const CResult fits = CheckColumnText(kDeviceKeyTable, "key_owner",
                                                 std::string_view(lines[i]).substr(comma + 1));
            !fits)
            return fits.Error();
    }
    return std::nullopt;
}

bool ApplyKeyListText(CDevice& device, std::string_view text) {
    const std::vector<std::string> lines = SplitLines(text);
    const auto& keys = device.Keys();
    // The whole list lands, or none of it.
    CDbTransaction transaction(device.Database());
    bool saved = true;
    for (std::size_t i = 0; i < keys.size() && i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty())
            continue;
        CDeviceKey& key = *keys[i];
        const std::size_t comma = line.find(',');
        // An invalid code is passed over; the owner is taken all the same.
        key.SetKeyCode(std::string_view(line).substr(0, comma));
        if (comma != std::string::npos)
            saved = key.SetOwner(line.substr(comma + 1)) && saved;
    }
    return saved;
}

std::optional<std::string> LoadKeyListFile(CDevice& device, const std::string& path) {
    std::string text;
    if (std::optional<std::string> failure = ReadWholeFile(path, text))
        return failure;
    if (!IsText(text))
        return std::string(kEmptyFileMessage);
    if (std::optional<std::string> refusal = CheckKeyListText(device, text))
        return refusal;
    if (!ApplyKeyListText(device, text))
        return std::string(kKeyListNotSavedMessage);
    return std::nullopt;
}

std::optional<std::string> SaveKeyListFile(const CDevice& device, const std::string& path) {
    return WriteWholeFile(path, BuildKeyListText(device));
}

} // namespace tornu
