#include "sim/TerminalState.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "protocol/ConfigText.h"
#include "protocol/LoopConfigText.h"
#include "settings/IniFile.h"

namespace tornu {

std::string* SSimDevice::FindParam(std::string_view name) {
    for (auto& [key, value] : params)
        if (key == name)
            return &value;
    return nullptr;
}

void SSimDevice::SetParam(const std::string& name, const std::string& value) {
    if (std::string* old = FindParam(name))
        *old = value;
    else
        params.emplace_back(name, value);
}

namespace {

const char* const kPhoneKinds[] = {"SMS", "DIA", "DAT"};

bool StartsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

bool ReadInt(const std::string& text, int low, int high, int& out) {
    std::int32_t value = 0;
    if (!ParseInteger(text, value) || text.empty() || text == "-" || value < low || value > high)
        return false;
    out = value;
    return true;
}

bool ReadFlag(const std::string& text, bool& out) {
    int value = 0;
    if (!ReadInt(text, 0, 1, value))
        return false;
    out = value == 1;
    return true;
}

bool IsHexText(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string ToHex(std::string_view bytes) {
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (char c : bytes)
        hex += HexByte(static_cast<std::uint8_t>(c));
    return hex;
}

// Reads the entries of one section; each handler returns "" when the entry
// was taken, else the reason it was refused.
class CStateReader {
public:
    CStateReader(CTerminalState& state, std::string baseDir)
        : state_(state), baseDir_(std::move(baseDir)) {}

    std::string Section(const CIniFile::Section& section) {
        for (const auto& entry : section.entries) {
            if (entry.key == ";")
                continue;
            const std::string why = Entry(section.name, entry.key, entry.value);
            if (!why.empty())
                return "[" + section.name + "] " + entry.key + ": " + why;
        }
        return {};
    }

private:
    std::string Entry(const std::string& section, const std::string& key,
                      const std::string& value) {
        if (section == "Terminal")
            return Terminal(key, value);
        if (section == "Modem")
            return Modem(key, value);
        if (section == "Faults")
            return Faults(key, value);
        if (section == "Files")
            return Files(key, value);
        if (StartsWith(section, "Device ")) {
            SSimDevice* device = state_.FindDevice(std::atoi(section.c_str() + 7));
            return device ? Device(*device, key, value) : "unknown section";
        }
        return "unknown section";
    }

    std::string Terminal(const std::string& key, const std::string& value) {
        if (key == "Number")
            return ReadInt(value, 0, 65535, state_.number) ? "" : "a number 0..65535 is expected";
        if (key == "ArmCode")
            return ReadInt(value, -1, 99, state_.armCode) ? "" : "a code 0..99 is expected";
        if (key == "DisarmCode")
            return ReadInt(value, -1, 99, state_.disarmCode) ? "" : "a code 0..99 is expected";
        std::string* text = key == "Phone"          ? &state_.phone
                            : key == "LinkPassword" ? &state_.linkPassword
                            : key == "Clock"        ? &state_.clock
                            : key == "Config"       ? &state_.config
                                                    : nullptr;
        if (!text)
            return "unknown key";
        *text = value;
        return {};
    }

    std::string Modem(const std::string& key, const std::string& value) {
        SSimModem& modem = state_.modem;
        if (key == "Answer")
            return ReadFlag(value, modem.answer) ? "" : "0 or 1 is expected";
        if (key == "Dial") {
            modem.dial = value == "SILENT" ? "" : value;
            return {};
        }
        if (key == "DialDelay")
            return ReadInt(value, 0, 600000, modem.dialDelayMs) ? "" : "milliseconds expected";
        if (key == "ReceiptDelay")
            return ReadInt(value, 0, 600000, modem.receiptDelayMs) ? "" : "milliseconds expected";
        return "unknown key";
    }

    std::string Faults(const std::string& key, const std::string& value) {
        SSimFaults& faults = state_.faults;
        if (key == "Receipt")
            return Receipt(value);
        if (key == "BadCrc")
            return ReadFlag(value, faults.badCrc) ? "" : "0 or 1 is expected";
        if (key == "Garbage")
            return ReadFlag(value, faults.garbage) ? "" : "0 or 1 is expected";
        if (key == "SplitBytes")
            return ReadFlag(value, faults.splitBytes) ? "" : "0 or 1 is expected";
        if (key == "HangUpAt")
            return ReadInt(value, 0, 1000000, faults.hangUpAt) ? "" : "a command count is expected";
        std::map<int, int>* table = StartsWith(key, "Error.")       ? &faults.errors
                                    : StartsWith(key, "WrongCode.") ? &faults.wrongCodes
                                    : StartsWith(key, "Silent.")    ? &faults.silent
                                                                    : nullptr;
        if (!table)
            return "unknown key";
        int code = 0;
        int number = 0;
        if (!ReadInt(key.substr(key.find('.') + 1), 0, 99, code))
            return "a message code 0..99 must follow the dot";
        if (!ReadInt(value, 0, 1000000, number))
            return "a number is expected";
        (*table)[code] = number;
        return {};
    }

    std::string Receipt(const std::string& value) {
        SSimFaults& faults = state_.faults;
        faults.receipt = SSimFaults::ReceiptKind::Normal;
        faults.receiptCode = 4;
        if (value == "none")
            faults.receipt = SSimFaults::ReceiptKind::None;
        else if (value == "garbled")
            faults.receipt = SSimFaults::ReceiptKind::Garbled;
        else if (!ReadInt(value, 0, 99, faults.receiptCode))
            return "none, garbled or a message code is expected";
        return {};
    }

    std::string Files(const std::string& key, const std::string& value) {
        const bool out = StartsWith(key, "Out.");
        int code = 0;
        if ((!out && !StartsWith(key, "In.")) ||
            !ReadInt(key.substr(key.find('.') + 1), 0, 99, code))
            return "Out.<code> or In.<code> is expected";
        std::string hex = value;
        if (StartsWith(value, "@")) {
            std::string bytes;
            if (!ReadWholeFile(baseDir_ + "/" + value.substr(1), bytes))
                return "cannot read the file " + value.substr(1);
            hex = ToHex(bytes);
        } else if (!IsHexText(value) || value.size() % 2 != 0) {
            return "hexadecimal bytes or @file are expected";
        }
        (out ? state_.outFiles : state_.inFiles)[code] = hex;
        return {};
    }

    std::string Device(SSimDevice& device, const std::string& key, const std::string& value) {
        if (key == "Master")
            return ReadInt(value, -1, 255, device.master) ? "" : "an address or -1 is expected";
        if (key == "Prefix") {
            device.prefix = value.empty() ? "S" : value;
            return {};
        }
        if (key == "Password") {
            device.password = value;
            return {};
        }
        if (key == "System") {
            device.system = value;
            return {};
        }
        if (key == "LastKey")
            return ReadInt(value, -1, 255, device.lastKey) ? "" : "a key number is expected";
        if (key == "KeyCount") {
            int count = 0;
            if (!ReadInt(value, 0, 255, count))
                return "a key count is expected";
            device.keys.resize(count);
            return {};
        }
        if (StartsWith(key, "Loop."))
            return Loop(device, key.substr(5), value);
        if (StartsWith(key, "Param.") && key.size() > 6) {
            device.SetParam(key.substr(6), value);
            return {};
        }
        if (StartsWith(key, "Phone."))
            return Phone(device, value);
        if (StartsWith(key, "Key."))
            return Key(device, key.substr(4), value);
        return "unknown key";
    }

    std::string Loop(SSimDevice& device, const std::string& number, const std::string& value) {
        SSimLoop loop;
        std::string state, type;
        if (!ReadInt(number, 1, 999, loop.number))
            return "a loop number 1..999 must follow the dot";
        if (!loopNumbers_.insert(loop.number).second)
            return "the loop number is already taken";
        if (!GetField(value, ',', 0, false, state) || !GetField(value, ',', 1, false, type) ||
            !ReadInt(state, 0, 15, loop.state) || !ReadInt(type, 0, 255, loop.type))
            return "<state 0..15>,<type mask> is expected";
        device.loops.push_back(loop);
        return {};
    }

    static std::string Phone(SSimDevice& device, const std::string& value) {
        SSimPhone phone;
        std::string kind, mask;
        std::uint32_t bits = 0;
        if (!GetField(value, ',', 0, false, kind) ||
            !GetField(value, ',', 1, false, phone.number) ||
            !GetField(value, ',', 2, false, mask) || !ParseHex(mask, bits) || bits > 0xFFFFFF)
            return "<SMS|DIA|DAT>,<number>,<mask hex> is expected";
        const auto* end = std::end(kPhoneKinds);
        const auto* found = std::find(std::begin(kPhoneKinds), end, kind);
        if (found == end)
            return "the kind is SMS, DIA or DAT";
        phone.kind = static_cast<int>(found - std::begin(kPhoneKinds));
        phone.mask = bits;
        device.phones.push_back(phone);
        return {};
    }

    static std::string Key(SSimDevice& device, const std::string& index, const std::string& value) {
        int position = 0;
        if (!ReadInt(index, 0, 255, position))
            return "a key position 0..255 must follow the dot";
        if (device.keys.size() <= static_cast<std::size_t>(position))
            device.keys.resize(position + 1);
        device.keys[position] = value;
        return {};
    }

    CTerminalState& state_;
    std::string baseDir_;
    std::set<int> loopNumbers_;
};

// The settings reader drops what it cannot place; here that is an error.
std::string CheckLayout(std::string_view text) {
    std::set<std::string> sections;
    for (std::string line : SplitLines(text)) {
        TrimText(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] != '[') {
            if (sections.empty())
                return "\"" + line + "\": a line before the first section";
            continue;
        }
        std::string name = line.substr(1, line.size() > 1 ? line.size() - 2 : 0);
        TrimText(name);
        if (line.back() != ']' || name.empty())
            return "\"" + line + "\": a malformed section header";
        if (!sections.insert(name).second)
            return "[" + name + "]: the section is given twice";
    }
    return {};
}

// Devices are created first so that sections may come in any order.
std::string CreateDevices(const CIniFile& file, CTerminalState& state) {
    for (const auto& section : file.Sections()) {
        if (!StartsWith(section.name, "Device "))
            continue;
        SSimDevice device;
        if (!ReadInt(section.name.substr(7), 0, 255, device.address))
            return "[" + section.name + "]: a device address 0..255 is expected";
        if (state.FindDevice(device.address))
            return "[" + section.name + "]: the address is given twice";
        device.keys.resize(CTerminalState::kDefaultKeyCount);
        state.devices.push_back(device);
    }
    std::sort(state.devices.begin(), state.devices.end(),
              [](const SSimDevice& a, const SSimDevice& b) { return a.address < b.address; });
    return {};
}

std::string CheckMasters(CTerminalState& state) {
    for (const SSimDevice& device : state.devices) {
        if (device.master == -1)
            continue;
        const SSimDevice* master = state.FindDevice(device.master);
        if (!master || master->master != -1)
            return "[Device " + std::to_string(device.address) +
                   "] Master: no partition at that address";
    }
    return {};
}

void RenderDevice(const SSimDevice& device, std::string& out) {
    out += "\n[Device " + std::to_string(device.address) + "]\n";
    out += "Master=" + std::to_string(device.master) + "\n";
    if (device.master != -1)
        out += "Prefix=" + device.prefix + "\n";
    out += "Password=" + device.password + "\nSystem=" + device.system + "\n";
    out += "LastKey=" + std::to_string(device.lastKey) + "\n";
    out += "KeyCount=" + std::to_string(device.keys.size()) + "\n";
    for (const SSimLoop& loop : device.loops)
        out += "Loop." + std::to_string(loop.number) + "=" + std::to_string(loop.state) + "," +
               std::to_string(loop.type) + "\n";
    for (const auto& [name, value] : device.params)
        out += "Param." + name + "=" + value + "\n";
    for (std::size_t i = 0; i < device.phones.size(); ++i) {
        const SSimPhone& phone = device.phones[i];
        char mask[8];
        std::snprintf(mask, sizeof mask, "%06X", static_cast<unsigned>(phone.mask));
        out += "Phone." + std::to_string(i + 1) + "=" + kPhoneKinds[phone.kind] + "," +
               phone.number + "," + mask + "\n";
    }
    for (std::size_t i = 0; i < device.keys.size(); ++i)
        if (!device.keys[i].empty())
            out += "Key." + std::to_string(i) + "=" + device.keys[i] + "\n";
}

void RenderFaults(const SSimFaults& faults, std::string& out) {
    out += "\n[Faults]\nReceipt=";
    if (faults.receipt == SSimFaults::ReceiptKind::None)
        out += "none";
    else if (faults.receipt == SSimFaults::ReceiptKind::Garbled)
        out += "garbled";
    else
        out += std::to_string(faults.receiptCode);
    out += "\nBadCrc=" + std::to_string(faults.badCrc) +
           "\nGarbage=" + std::to_string(faults.garbage) +
           "\nSplitBytes=" + std::to_string(faults.splitBytes) +
           "\nHangUpAt=" + std::to_string(faults.hangUpAt) + "\n";
    const std::pair<const char*, const std::map<int, int>*> tables[] = {
        {"Error.", &faults.errors},
        {"WrongCode.", &faults.wrongCodes},
        {"Silent.", &faults.silent}};
    for (const auto& [name, table] : tables)
        for (const auto& [code, number] : *table)
            out += name + std::to_string(code) + "=" + std::to_string(number) + "\n";
}

} // namespace

bool CTerminalState::Read(std::string_view text, const std::string& baseDir, std::string& error) {
    CIniFile file;
    file.LoadFromBytes(text);
    CTerminalState fresh;
    error = CheckLayout(text);
    if (error.empty())
        error = CreateDevices(file, fresh);
    CStateReader reader(fresh, baseDir);
    for (const auto& section : file.Sections()) {
        if (!error.empty())
            break;
        error = reader.Section(section);
    }
    if (error.empty())
        error = CheckMasters(fresh);
    if (!error.empty())
        return false;
    *this = std::move(fresh);
    return true;
}

bool CTerminalState::Load(const std::string& path, std::string& error) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        error = "cannot read " + path;
        return false;
    }
    const auto slash = path.rfind('/');
    return Read(bytes, slash == std::string::npos ? "." : path.substr(0, slash), error);
}

std::string CTerminalState::Render() const {
    std::string out = "; Terminal simulator state\n[Terminal]\n";
    out += "Number=" + std::to_string(number) + "\nPhone=" + phone +
           "\nLinkPassword=" + linkPassword + "\nClock=" + clock + "\nConfig=" + config +
           "\nArmCode=" + std::to_string(armCode) + "\nDisarmCode=" + std::to_string(disarmCode) +
           "\n";
    out += "\n[Modem]\nAnswer=" + std::to_string(modem.answer) +
           "\nDial=" + (modem.dial.empty() ? "SILENT" : modem.dial) +
           "\nDialDelay=" + std::to_string(modem.dialDelayMs) +
           "\nReceiptDelay=" + std::to_string(modem.receiptDelayMs) + "\n";
    RenderFaults(faults, out);
    out += "\n[Files]\n";
    for (const auto& [code, hex] : outFiles)
        out += "Out." + std::to_string(code) + "=" + hex + "\n";
    for (const auto& [code, hex] : inFiles)
        out += "In." + std::to_string(code) + "=" + hex + "\n";
    for (const SSimDevice& device : devices)
        RenderDevice(device, out);
    return out;
}

bool CTerminalState::Save(const std::string& path) const {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        const std::string text = Render();
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

SSimDevice* CTerminalState::FindDevice(int address) {
    for (SSimDevice& device : devices)
        if (device.address == address)
            return &device;
    return nullptr;
}

std::vector<SSimDevice*> CTerminalState::SlavesOf(int address) {
    std::vector<SSimDevice*> slaves;
    for (SSimDevice& device : devices)
        if (device.master == address && device.address != address)
            slaves.push_back(&device);
    return slaves;
}

std::string CTerminalState::BuildLoopConfiguration() const {
    auto entry = [](const SSimDevice& device, const std::string& prefix) {
        std::string text = prefix + std::to_string(device.address) + "=" +
                           std::to_string(device.loops.size()) + "(";
        for (const SSimLoop& loop : device.loops)
            text += std::to_string(loop.type) + ",";
        return text + "),";
    };
    std::string text;
    for (const SSimDevice& device : devices) {
        if (device.master != -1)
            continue;
        text += entry(device, "M");
        for (const SSimDevice& slave : devices)
            if (slave.master == device.address)
                text += entry(slave, slave.prefix);
    }
    return text;
}

void CTerminalState::ApplyLoopConfiguration(std::string_view text) {
    // Stops at the first entry that does not read, as the terminal does.
    for (const std::string& line : SplitLoopConfiguration(text)) {
        LoopEntry entry;
        SSimDevice* device = ParseLoopEntry(line, entry) ? FindDevice(entry.device) : nullptr;
        if (!device)
            return;
        for (std::size_t i = 0; i < std::min(entry.types.size(), device->loops.size()); ++i)
            device->loops[i].type = entry.types[i];
    }
}

} // namespace tornu
