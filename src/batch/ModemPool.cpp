#include "batch/ModemPool.h"

#include "settings/IniFile.h"

namespace tornu {

namespace {

constexpr const char* kModemKeys[] = {"ComPort", "ComSpeed", "Init", "Emul", "CheckCrc"};

// The port of `section`, its missing keys from "Modem"; `port` replaces "ComPort".
BatchPort PortOf(const CIniFile& settings, const std::string& section, const std::string& port = {}) {
    BatchPort result;
    for (const char* key : kModemKeys) {
        std::string value;
        if (settings.FindValue(section, key, value) || settings.FindValue("Modem", key, value))
            result.modem.SetValue("Modem", key, value);
    }
    if (!port.empty())
        result.modem.SetValue("Modem", "ComPort", port);
    if (!result.modem.FindValue("Modem", "ComPort", result.name) || result.name.empty())
        result.name = "COM1";
    return result;
}

} // namespace

std::vector<BatchPort> ModemPool(const CIniFile& settings) {
    std::vector<BatchPort> pool{PortOf(settings, "Modem")};
    for (int n = 2; settings.CountEntries("Modem" + std::to_string(n)) >= 0; ++n)
        pool.push_back(PortOf(settings, "Modem" + std::to_string(n)));
    return pool;
}

std::vector<BatchPort> ModemPool(const CIniFile& settings, const std::vector<std::string>& ports) {
    std::vector<BatchPort> pool;
    for (const std::string& port : ports)
        pool.push_back(PortOf(settings, "Modem", port));
    return pool;
}

} // namespace tornu
