#pragma once
// The "Modem" settings as the dialog "Настройка порта модема" shows and
// writes them: the port (COM1 to COM16, and the serial devices present on
// this machine above them), one of the eleven speeds, the extra init string
// and emulation.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CIniFile;

inline constexpr std::string_view kModemPortDialogTitle = "Настройка порта модема";
inline constexpr std::string_view kChoosePortMessage = "Выберите порт";
inline constexpr std::string_view kChooseSpeedMessage = "Выберите скорость";

struct ModemPortEntry {
    std::string name;    // what is stored: "COM3" or a device path
    std::string caption; // what the list shows
};

struct ModemPortSettings {
    std::string port;        // empty: none chosen
    std::uint32_t speed = 0; // 0: none chosen
    std::string init;
    bool emulation = false;
};

// The serial devices present here (/dev/serial/by-id/* with their readable
// names, then /dev/ttyUSB*, /dev/ttyACM*), then COM1 to COM16.
std::vector<ModemPortEntry> ModemPortEntries(const std::string& devRoot = "/dev");

// The stored values; port and speed are kept only when the list has them
// (the port compared without regard to case), else left unchosen.
ModemPortSettings ReadModemPortSettings(const CIniFile& settings,
                                        const std::vector<ModemPortEntry>& entries);

// "Выберите порт" / "Выберите скорость", or nothing when the choice may be
// written. A port typed in is accepted when it is a COM name or a path that
// exists.
std::optional<std::string_view> CheckModemPortSettings(const ModemPortSettings& chosen);

// The four keys ("ComSpeed" and "Emul" as numbers) and the file saved.
bool WriteModemPortSettings(CIniFile& settings, const ModemPortSettings& chosen);

// Why this user cannot open the port, or nothing when he can (or the port
// is not there to ask).
std::optional<std::string> ModemPortAccessProblem(const std::string& port);

} // namespace tornu
