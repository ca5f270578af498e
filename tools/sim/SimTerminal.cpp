#include "sim/SimTerminal.h"

#include <cstdio>
#include <cstdlib>

#include "protocol/ConfigText.h"

namespace tornu {

namespace {

const char* const kPhoneKinds[] = {"SMS", "DIA", "DAT"};

bool IsPrefixName(std::string_view name) {
    return name == "RZD" || name == "PASS" || name == "DEVA";
}

bool ReadAddress(const std::string& text, int& address) {
    std::int32_t value = 0;
    if (!ParseInteger(text, value) || value < 0)
        return false;
    address = value;
    return true;
}

std::string LoopGroup(const SSimLoop& loop) {
    char group[16];
    std::snprintf(group, sizeof group, "%03d%X", loop.number % 1000, loop.state & 0xF);
    return group;
}

// "+79001234567" with mask 0x81 gives "+79001234567000081": twelve number
// characters padded with "F", six mask digits.
std::string PhoneItem(const SSimPhone& phone) {
    std::string number = phone.number.substr(0, 12);
    number.resize(12, 'F');
    char mask[8];
    std::snprintf(mask, sizeof mask, "%06X", static_cast<unsigned>(phone.mask & 0xFFFFFF));
    return number + mask;
}

// SMS=<items>;DIA=<items>;DAT=<items>; with 18-character items, each ended by ",".
bool ParsePhoneBook(const std::string& data, std::vector<SSimPhone>& phones) {
    for (int kind = 0; kind < 3; ++kind) {
        std::string list;
        if (!GetConfigValue(data, kPhoneKinds[kind], list))
            return false;
        for (const std::string& item : SplitList(list)) {
            SSimPhone phone;
            phone.kind = kind;
            if (item.size() != 18 || !ParseHex(item.substr(12), phone.mask))
                return false;
            phone.number = item.substr(0, 12);
            while (!phone.number.empty() && phone.number.back() == 'F')
                phone.number.pop_back();
            phones.push_back(phone);
        }
    }
    return true;
}

// MKEY is position 0, KEY<n> position n.
bool KeyPosition(const std::string& name, std::size_t& position) {
    if (name == "MKEY") {
        position = 0;
        return true;
    }
    std::int32_t value = 0;
    if (name.size() < 4 || name.compare(0, 3, "KEY") != 0 || !ParseInteger(name.substr(3), value) ||
        value < 1 || value > 255)
        return false;
    position = static_cast<std::size_t>(value);
    return true;
}

void SetArmed(CTerminalState& state, SSimDevice& device, bool armed) {
    if (device.system.size() == 4)
        device.system[1] = armed ? '1' : '0';
    auto swap = [armed](SSimDevice& d) {
        for (SSimLoop& loop : d.loops)
            if (loop.state == (armed ? 3 : 9))
                loop.state = armed ? 9 : 3;
    };
    swap(device);
    if (device.master == -1)
        for (SSimDevice* slave : state.SlavesOf(device.address))
            swap(*slave);
}

} // namespace

std::vector<std::pair<std::string, std::string>> BodyPairs(const std::string& data) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find(';', start);
        if (end == std::string::npos)
            end = data.size();
        const std::string_view pair = std::string_view(data).substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos) {
            const std::string name(TrimmedText(pair.substr(0, equals)));
            if (!IsPrefixName(name))
                pairs.emplace_back(name, std::string(pair.substr(equals + 1)));
        }
        start = end + 1;
    }
    return pairs;
}

std::string BuildStatusText(CTerminalState& state, SSimDevice& device) {
    std::string shl;
    for (const SSimLoop& loop : device.loops)
        shl += LoopGroup(loop);
    if (device.master == -1)
        for (SSimDevice* slave : state.SlavesOf(device.address))
            for (const SSimLoop& loop : slave->loops)
                shl += LoopGroup(loop);
    std::string text =
        "SYS=" + device.system + ";KEY=" + std::to_string(device.lastKey) + ";SHL=" + shl + ";";
    for (const auto& [name, value] : device.params)
        text += name + "=" + value + ";";
    return text;
}

std::string BuildPhoneBookText(const SSimDevice& device) {
    std::string text;
    for (int kind = 0; kind < 3; ++kind) {
        text += std::string(kPhoneKinds[kind]) + "=";
        for (const SSimPhone& phone : device.phones)
            if (phone.kind == kind)
                text += PhoneItem(phone) + ",";
        text += ";";
    }
    return text;
}

std::string BuildKeyText(const SSimDevice& device) {
    std::string text;
    for (std::size_t i = 0; i < device.keys.size(); ++i)
        text +=
            (i == 0 ? std::string("MKEY") : "KEY" + std::to_string(i)) + "=" + device.keys[i] + ";";
    return text;
}

void CSimTerminal::StartSession() {
    loggedIn_ = false;
    commands_ = 0;
    silentLeft_ = state_.faults.silent;
}

bool CSimTerminal::BuildReceipt(CTermMessage& receipt) const {
    if (state_.faults.receipt == SSimFaults::ReceiptKind::None)
        return false;
    receipt = CTermMessage(state_.number, state_.faults.receiptCode);
    return true;
}

CTermMessage CSimTerminal::ErrorReply(int error) const {
    return CTermMessage(state_.number, kErrorCode, std::to_string(error));
}

CSimTerminal::Outcome CSimTerminal::Handle(const CTermMessage& request, CTermMessage& reply) {
    if (request.GetCode() == 2)
        return Outcome::End;
    Outcome outcome = Outcome::Reply;
    if (ApplyFaults(request, reply, outcome))
        return outcome;
    if (request.GetNumber() != state_.number) {
        reply = ErrorReply(kErrAddress);
        return Outcome::Reply;
    }
    if (request.GetCode() == 4)
        return Login(request, reply);
    if (!loggedIn_) {
        reply = ErrorReply(kErrNoLogin);
        return Outcome::Reply;
    }
    Target target;
    std::string out;
    int error = FindTarget(request.GetData(), target);
    if (error == 0)
        error = Execute(request.GetCode(), request.GetData(), target, out);
    reply = error ? ErrorReply(error) : CTermMessage(state_.number, request.GetCode(), out);
    return Outcome::Reply;
}

// True when a fault decides the outcome.
bool CSimTerminal::ApplyFaults(const CTermMessage& request, CTermMessage& reply, Outcome& outcome) {
    const int code = request.GetCode();
    if (code != 4)
        ++commands_;
    if (auto left = silentLeft_.find(code); left != silentLeft_.end() && left->second > 0) {
        --left->second;
        outcome = Outcome::Silent;
        return true;
    }
    if (code != 4 && state_.faults.hangUpAt > 0 && commands_ >= state_.faults.hangUpAt) {
        outcome = Outcome::HangUp;
        return true;
    }
    if (auto error = state_.faults.errors.find(code); error != state_.faults.errors.end()) {
        reply = ErrorReply(error->second);
        return true;
    }
    if (auto other = state_.faults.wrongCodes.find(code); other != state_.faults.wrongCodes.end()) {
        reply = CTermMessage(state_.number, other->second);
        return true;
    }
    return false;
}

CSimTerminal::Outcome CSimTerminal::Login(const CTermMessage& request, CTermMessage& reply) {
    loggedIn_ = request.GetData() == state_.linkPassword;
    reply = loggedIn_ ? CTermMessage(state_.number, 6) : ErrorReply(kErrLinkPassword);
    return Outcome::Reply;
}

int CSimTerminal::FindTarget(const std::string& data, Target& target) {
    std::string rzd, pass, deva;
    int address = 0;
    if (!GetConfigValue(data, "RZD", rzd) || !ReadAddress(rzd, address) ||
        !GetConfigValue(data, "PASS", pass))
        return kErrFormat;
    target.partition = state_.FindDevice(address);
    if (!target.partition)
        return kErrNoPartition;
    if (pass != target.partition->password)
        return kErrPartitionPassword;
    target.device = target.partition;
    if (!GetConfigValue(data, "DEVA", deva))
        return 0;
    if (!ReadAddress(deva, address))
        return kErrFormat;
    target.device = state_.FindDevice(address);
    if (!target.device || target.device->master != target.partition->address)
        return kErrNoDevice;
    return 0;
}

int CSimTerminal::Execute(int code, const std::string& data, const Target& target,
                          std::string& out) {
    switch (code) {
    case 1:
    case 22:
    case 39:
    case 40:
    case 97:
        return TerminalCommand(code, data, out);
    case 9:
    case 16:
    case 17:
    case 23:
    case 24:
    case 38:
    case 96:
        return DeviceCommand(code, data, *target.device, out);
    default:
        return GenericCommand(code, data, *target.device, out);
    }
}

int CSimTerminal::TerminalCommand(int code, const std::string& data, std::string& out) {
    std::string value;
    const char* name = code == 22 ? "TIME" : code == 40 ? "CFG" : code == 97 ? "NPSWD" : nullptr;
    if (name && !GetConfigValue(data, name, value))
        return kErrFormat;
    switch (code) {
    case 22:
        state_.clock = value;
        break;
    case 39:
        out = "CFG=" + (state_.config.empty() ? state_.BuildLoopConfiguration() : state_.config) +
              ";";
        break;
    case 40:
        state_.config = value;
        state_.ApplyLoopConfiguration(value);
        out = "CFG=" + value + ";";
        break;
    case 97:
        state_.linkPassword = value;
        out = "NPSWD=" + value + ";";
        break;
    default:
        break;
    }
    return 0;
}

int CSimTerminal::DeviceCommand(int code, const std::string& data, SSimDevice& device,
                                std::string& out) {
    std::string value;
    std::vector<SSimPhone> phones;
    std::size_t position = 0;
    switch (code) {
    case 9:
        for (const auto& [name, key] : BodyPairs(data))
            if (KeyPosition(name, position)) {
                if (device.keys.size() <= position)
                    device.keys.resize(position + 1);
                device.keys[position] = key;
            }
        return 0;
    case 17:
        for (const auto& [name, param] : BodyPairs(data))
            device.SetParam(name, param);
        return 0;
    case 24:
        if (!ParsePhoneBook(data, phones))
            return kErrFormat;
        device.phones = phones;
        return 0;
    case 96:
        if (!GetConfigValue(data, "NPASS", value))
            return kErrFormat;
        device.password = value;
        out = "NPASS=" + value + ";";
        return 0;
    default:
        break;
    }
    out = code == 16   ? BuildStatusText(state_, device)
          : code == 23 ? BuildPhoneBookText(device)
                       : BuildKeyText(device);
    return 0;
}

int CSimTerminal::GenericCommand(int code, const std::string& data, SSimDevice& device,
                                 std::string& out) {
    std::string hex;
    if (GetConfigValue(data, "FILE", hex)) {
        state_.inFiles[code] = hex;
        return 0;
    }
    if (auto file = state_.outFiles.find(code); file != state_.outFiles.end()) {
        out = "FILE=" + file->second + ";";
        return 0;
    }
    if (code == state_.armCode || code == state_.disarmCode)
        SetArmed(state_, device, code == state_.armCode);
    else
        for (const auto& [name, param] : BodyPairs(data))
            device.SetParam(name, param);
    out = BuildStatusText(state_, device);
    return 0;
}

} // namespace tornu
