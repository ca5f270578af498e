#include "doc/ModemPortSettings.h"

#include "comms/SerialPort.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tornu {

namespace {

constexpr const char* kSection = "Modem";

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsComName(std::string_view name) {
    if (name.size() < 4 || !SameIgnoringCase(name.substr(0, 3), "COM"))
        return false;
    return std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> Matching(const std::filesystem::path& folder, std::string_view prefix) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename().string().starts_with(prefix))
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

std::vector<ModemPortEntry> ModemPortEntries(const std::string& devRoot) {
    std::vector<ModemPortEntry> entries;
    const std::filesystem::path root(devRoot);
    for (const std::string& path : Matching(root / "serial" / "by-id", ""))
        entries.push_back({path, std::filesystem::path(path).filename().string()});
    for (const char* prefix : {"ttyUSB", "ttyACM"})
        for (const std::string& path : Matching(root, prefix))
            entries.push_back({path, path});
    for (const std::string& name : CSerialPort::PortNames())
        entries.push_back({name, name});
    return entries;
}

ModemPortSettings ReadModemPortSettings(const CIniFile& settings,
                                        const std::vector<ModemPortEntry>& entries) {
    ModemPortSettings result;
    std::string value;
    const auto get = [&](const char* key) {
        value.clear();
        return settings.FindValue(kSection, key, value);
    };
    if (get("ComPort")) {
        for (const ModemPortEntry& entry : entries)
            if (SameIgnoringCase(entry.name, value)) {
                result.port = entry.name;
                break;
            }
        // A path typed in earlier (a device link of its own) stays chosen.
        std::error_code ec;
        if (result.port.empty() && value.starts_with('/') && std::filesystem::exists(value, ec))
            result.port = value;
    }
    if (get("ComSpeed")) {
        const auto& speeds = CSerialPort::Speeds();
        for (std::uint32_t speed : speeds)
            if (value == std::to_string(speed))
                result.speed = speed;
    }
    if (get("Init"))
        result.init = value;
    if (get("Emul"))
        result.emulation = value == "1";
    return result;
}

std::optional<std::string_view> CheckModemPortSettings(const ModemPortSettings& chosen) {
    std::error_code ec;
    if (chosen.port.empty() ||
        !(IsComName(chosen.port) || std::filesystem::exists(chosen.port, ec)))
        return kChoosePortMessage;
    const auto& speeds = CSerialPort::Speeds();
    if (std::find(speeds.begin(), speeds.end(), chosen.speed) == speeds.end())
        return kChooseSpeedMessage;
    return std::nullopt;
}

bool WriteModemPortSettings(CIniFile& settings, const ModemPortSettings& chosen) {
    return settings.SetValue(kSection, "ComPort", chosen.port) &&
           settings.SetValue(kSection, "ComSpeed", std::to_string(chosen.speed)) &&
           settings.SetValue(kSection, "Init", chosen.init) &&
           settings.SetValue(kSection, "Emul", chosen.emulation ? "1" : "0") && settings.Save();
}

std::optional<std::string> ModemPortAccessProblem(const std::string& port) {
    const std::string path = CSerialPort::DevicePath(port);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return "Порт " + path + " не найден";
    if (!S_ISCHR(info.st_mode))
        return path + " - не последовательный порт";
    if (access(path.c_str(), R_OK | W_OK) == 0)
        return std::nullopt;
    std::string text = "Нет доступа к порту " + path;
    if (const group* owner = getgrgid(info.st_gid))
        text += std::string(": пользователь не входит в группу ") + owner->gr_name;
    return text;
}

} // namespace tornu
