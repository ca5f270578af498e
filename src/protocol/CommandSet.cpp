// The messages of the command set, built from snapshots, and the snapshots
// following the replies of their exchange.
#include "protocol/CommandSet.h"

#include "protocol/ConfigText.h"
#include "protocol/ErrorText.h"
#include "protocol/TimeStamp.h"
#include "settings/Encoding.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace tornu {
namespace {

// Phone types in protocol order: SMS, voice, data.
constexpr std::array<const char*, 3> kPhoneKeywords = {"SMS", "DIA", "DAT"};
constexpr std::size_t kPhoneDigits = 12;
constexpr unsigned kMask24 = 0xFFFFFF;

BuiltCommand Refuse(std::string_view why = {}) {
    return {std::nullopt, std::string(why)};
}

std::string TwoDigits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

// "TIME=yy/mm/dd,hh:mm:ss;"
std::string ClockText(std::time_t now) {
    const std::tm t = LocalTime(now);
    char text[64];
    std::snprintf(text, sizeof text, "TIME=%02d/%02d/%02d,%02d:%02d:%02d;", t.tm_year % 100,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// With an input file: "FILE=<hexadecimal bytes>;", false when the file could
// not be read. Without one: true, nothing appended.
bool AppendInputFile(const CommandSpec& command, std::string& text) {
    if (!command.HasFile(kCommandFileIn))
        return true;
    if (!command.input)
        return false;
    text += "FILE=" + HexText(*command.input) + ";";
    return true;
}

// A password change with nothing to change to would leave the terminal and
// the records with an empty password; a password that cannot travel would
// break the message.
std::string PasswordRefusal(const std::optional<PartitionAccess>& partition, bool changes,
                            const std::string& newPassword) {
    if (partition && !IsMessageSafe(partition->password))
        return std::string(kRefusalUnsafePassword);
    if (changes) {
        if (newPassword.empty())
            return std::string(kRefusalNoNewPassword);
        if (!IsMessageSafe(newPassword))
            return std::string(kRefusalUnsafePassword);
    }
    return {};
}

// One phone-book entry: number cut or padded with "F" to 12 characters, the
// 24-bit mask in six upper-case hexadecimal digits and ",".
std::string PhoneEntryText(const PhoneEntry& phone) {
    std::string entry(Utf8Prefix(phone.number, kPhoneDigits));
    const std::size_t length = Utf8Length(entry);
    if (length < kPhoneDigits)
        entry.append(kPhoneDigits - length, 'F');
    char mask[16];
    std::snprintf(mask, sizeof mask, "%06X,", static_cast<unsigned>(phone.mask) & kMask24);
    return entry + mask;
}

} // namespace

std::optional<PartitionAccess> DeviceSnapshot::Partition() const {
    if (IsTopLevel())
        return PartitionAccess{address, password};
    if (masterPassword)
        return PartitionAccess{master, *masterPassword};
    return std::nullopt;
}

BuiltCommand BuildTerminalCommand(const TerminalSnapshot& terminal, const CommandSpec& command,
                                  std::time_t now) {
    const std::string refusal = PasswordRefusal(
        terminal.firstDevice, command.code == kCmdTerminalPassword, terminal.newPassword);
    if (!refusal.empty())
        return Refuse(refusal);
    if (!terminal.firstDevice)
        return Refuse();
    std::string text = "RZD=" + std::to_string(terminal.firstDevice->address) +
                       ";PASS=" + terminal.firstDevice->password + ";";
    switch (command.code) {
    case kCmdCheck:
    case kCmdReadLoops:
        break;
    case kCmdSetClock:
        text += ClockText(now);
        break;
    case kCmdWriteLoops: {
        const std::string loops = LoopConfigurationText(terminal.loops);
        if (loops.empty())
            return Refuse();
        text += "CFG=" + loops + ";";
        break;
    }
    case kCmdTerminalPassword:
        text += "NPSWD=" + terminal.newPassword + ";";
        break;
    default:
        if (!AppendInputFile(command, text))
            return Refuse();
        break;
    }
    return {CTermMessage(terminal.number, command.code, std::move(text)), {}};
}

BuiltCommand BuildDeviceCommand(const DeviceSnapshot& device, const CommandSpec& command) {
    const std::optional<PartitionAccess> partition = device.Partition();
    const std::string refusal =
        PasswordRefusal(partition, command.code == kCmdDevicePassword, device.newPassword);
    if (!refusal.empty())
        return Refuse(refusal);
    if (!partition)
        return Refuse();
    std::string text =
        "RZD=" + TwoDigits(partition->address) + ";PASS=" + partition->password + ";";
    if (!device.IsTopLevel())
        text += "DEVA=" + TwoDigits(device.address) + ";";
    const std::vector<std::string>& plist = command.paramList;
    switch (command.code) {
    case kCmdWriteKeys:
        text += BuildKeyText(device.keys);
        break;
    case kCmdReadStatus:
    case kCmdReadPhones:
    case kCmdReadKeys:
        break;
    case kCmdWriteParams:
        text += BuildParameterText(device.params, plist.empty() ? nullptr : &plist);
        break;
    case kCmdWritePhones:
        text += BuildPhoneBookText(device.phones);
        break;
    case kCmdDevicePassword:
        text += "NPASS=" + device.newPassword + ";";
        break;
    default:
        if (command.HasFile(kCommandFileIn)) {
            if (!AppendInputFile(command, text))
                return Refuse();
        } else if (!plist.empty()) {
            text += BuildParameterText(device.params, &plist);
        }
        break;
    }
    return {CTermMessage(device.terminal, command.code, std::move(text)), {}};
}

std::string KeyName(std::size_t position) {
    return position == 0 ? std::string("MKEY") : "KEY" + std::to_string(position);
}

std::string BuildKeyText(std::span<const std::string> keys) {
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i)
        text.append(KeyName(i)).append("=").append(keys[i]).append(";");
    return text;
}

std::string BuildPhoneBookText(std::span<const PhoneEntry> phones) {
    std::array<std::string, kPhoneKeywords.size()> lists;
    for (const PhoneEntry& phone : phones)
        if (phone.type >= 0 && phone.type < static_cast<int>(lists.size()))
            lists[static_cast<std::size_t>(phone.type)] += PhoneEntryText(phone);
    std::string text;
    for (std::size_t type = 0; type < lists.size(); ++type)
        text.append(kPhoneKeywords[type]).append("=").append(lists[type]).append(";");
    return text;
}

std::string BuildParameterText(std::span<const ParamSnapshot> params,
                               const std::vector<std::string>* restriction) {
    std::string text;
    for (const ParamSnapshot& param : params) {
        if (!param.writable)
            continue;
        if (restriction &&
            std::find(restriction->begin(), restriction->end(), param.name) == restriction->end())
            continue;
        const std::string& value = param.value.empty() ? param.defaultValue : param.value;
        text.append(param.name).append("=").append(value).append(";");
    }
    return text;
}

std::string StoredPhoneNumber(std::string_view text) {
    std::string number;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= '0' && c <= '9') || (c == '+' && i == 0))
            number += c;
    }
    return number;
}

const std::string* StatusParamValue(const StatusReply& status, std::string_view name) {
    for (const auto& [param, value] : status.params)
        if (param == name)
            return &value;
    return nullptr;
}

void FollowReply(TerminalSnapshot& terminal, const ReplyValue& reply) {
    std::visit(Overloaded{
                   [&](const LoopConfigReply& config) {
                       ApplyLoopEntries(terminal.loops, config.entries);
                   },
                   [&](const NewPasswordReply& password) {
                       terminal.password = password.password;
                       terminal.newPassword.clear();
                   },
                   [](const auto&) {},
               },
               reply);
}

void FollowReply(DeviceSnapshot& device, const ReplyValue& reply) {
    std::visit(Overloaded{
                   [&](const StatusReply& status) {
                       for (ParamSnapshot& param : device.params)
                           if (const std::string* value = StatusParamValue(status, param.name);
                               value && param.readable)
                               param.value = *value;
                   },
                   [&](const PhoneBookReply& book) {
                       for (const auto& [position, entry] : book.entries)
                           if (position < device.phones.size())
                               device.phones[position] = entry;
                   },
                   [&](const KeyReply& keys) {
                       for (const auto& [position, code] : keys.codes)
                           if (position < device.keys.size())
                               device.keys[position] = code;
                   },
                   [&](const NewPasswordReply& password) {
                       device.password = password.password;
                       device.newPassword.clear();
                   },
                   [](const auto&) {},
               },
               reply);
}

} // namespace tornu
