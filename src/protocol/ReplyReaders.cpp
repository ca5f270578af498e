// The replies of the command set read into values. Reply texts come from the
// line and are not trusted: every value is length-checked and read without
// assumptions, and a reader gives a value only when all of it made sense.
#include "protocol/CommandSet.h"

#include "protocol/ConfigText.h"
#include "protocol/KeyCode.h"
#include "settings/Encoding.h"

#include <array>

namespace tornu {
namespace {

constexpr std::array<const char*, 3> kPhoneKeywords = {"SMS", "DIA", "DAT"};
constexpr std::size_t kPhoneDigits = 12;
constexpr std::size_t kPhoneEntryLength = 18;
constexpr std::size_t kSystemStateBits = 4;
constexpr std::size_t kLoopGroup = 4;

template <class T> std::optional<ReplyValue> AsReply(std::optional<T> value) {
    if (!value)
        return std::nullopt;
    return ReplyValue(std::move(*value));
}

// "1" at position i sets bit i; a value not four characters long gives 0.
int ReadSystemState(std::string_view value) {
    if (value.size() != kSystemStateBits)
        return 0;
    int state = 0;
    for (std::size_t i = 0; i < kSystemStateBits; ++i)
        if (value[i] == '1')
            state |= 1 << i;
    return state;
}

// "0"-"9", "A"-"F"; anything else is state 0.
int LoopStateDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

// Groups of three decimal digits of the loop number and one hexadecimal
// digit of its state: "0013002A" is loop 1 in state 3, loop 2 in state 10.
// A shorter rest at the end is ignored.
std::vector<std::pair<int, int>> ReadLoopStates(std::string_view value) {
    std::vector<std::pair<int, int>> states;
    for (std::size_t at = 0; at + kLoopGroup <= value.size(); at += kLoopGroup)
        states.emplace_back(ReadLenientInteger(value.substr(at, kLoopGroup - 1)),
                            LoopStateDigit(value[at + kLoopGroup - 1]));
    return states;
}

// One 18-character item: the number padded with "F" to 12 characters and the
// mask in six hexadecimal digits.
std::optional<PhoneEntry> ReadPhoneItem(int type, std::string_view item) {
    if (Utf8Length(item) != kPhoneEntryLength)
        return std::nullopt;
    const std::string_view number = Utf8Prefix(item, kPhoneDigits);
    std::uint32_t mask = 0;
    if (!ParseHex(item.substr(number.size()), mask))
        return std::nullopt;
    return PhoneEntry{type, StoredPhoneNumber(number), static_cast<int>(mask)};
}

} // namespace

bool HasReplyHeader(const CTermMessage& reply) {
    return reply.GetCode() != CTermMessage::kNotSet && reply.GetNumber() != CTermMessage::kNotSet;
}

std::optional<ReplyValue> ReadTerminalReply(const CommandSpec& command, const CTermMessage& reply) {
    if (!HasReplyHeader(reply))
        return std::nullopt;
    const std::string& data = reply.GetData();
    switch (command.code) {
    case kCmdCheck:
    case kCmdSetClock:
        return Acknowledgement{};
    case kCmdReadLoops:
    case kCmdWriteLoops:
        return AsReply(ReadLoopConfigReply(data));
    case kCmdTerminalPassword:
        return AsReply(ReadNewPasswordReply(data, "NPSWD"));
    default:
        if (command.HasFile(kCommandFileOut))
            return AsReply(ReadFileReply(data, command.outputFile));
        return Acknowledgement{};
    }
}

std::optional<ReplyValue> ReadDeviceReply(const DeviceSnapshot& device, const CommandSpec& command,
                                          const CTermMessage& reply) {
    if (!HasReplyHeader(reply))
        return std::nullopt;
    const std::string& data = reply.GetData();
    switch (command.code) {
    case kCmdWriteKeys:
    case kCmdWriteParams:
    case kCmdWritePhones:
        return Acknowledgement{};
    case kCmdReadStatus:
        return ReadStatusReply(data, device.params);
    case kCmdReadPhones:
        return AsReply(ReadPhoneBookReply(data, device.phones));
    case kCmdReadKeys:
        return AsReply(ReadKeyReply(data, device.keys.size()));
    case kCmdDevicePassword:
        return AsReply(ReadNewPasswordReply(data, "NPASS"));
    default:
        if (command.HasFile(kCommandFileOut))
            return AsReply(ReadFileReply(data, command.outputFile));
        return ReadStatusReply(data, device.params);
    }
}

StatusReply ReadStatusReply(std::string_view text, std::span<const ParamSnapshot> params) {
    StatusReply status;
    std::string value;
    for (const ParamSnapshot& param : params)
        if (param.readable && GetConfigValue(text, param.name, value))
            status.params.emplace_back(param.name, value);
    if (GetConfigValue(text, "SYS", value))
        status.systemState = ReadSystemState(value);
    if (GetConfigValue(text, "KEY", value))
        status.lastKey = ReadLenientInteger(value);
    if (GetConfigValue(text, "SHL", value))
        status.loopStates = ReadLoopStates(value);
    return status;
}

std::optional<PhoneBookReply> ReadPhoneBookReply(std::string_view text,
                                                 std::span<const PhoneEntry> phones) {
    PhoneBookReply book;
    for (std::size_t type = 0; type < kPhoneKeywords.size(); ++type) {
        std::string value;
        if (!GetConfigValue(text, kPhoneKeywords[type], value))
            return std::nullopt;
        const std::vector<std::string> items = SplitList(value);
        std::size_t next = 0;
        for (std::size_t position = 0; position < phones.size() && next < items.size();
             ++position) {
            if (phones[position].type != static_cast<int>(type))
                continue;
            std::optional<PhoneEntry> entry = ReadPhoneItem(static_cast<int>(type), items[next++]);
            if (!entry)
                return std::nullopt;
            book.entries.emplace_back(position, std::move(*entry));
        }
    }
    return book;
}

std::optional<KeyReply> ReadKeyReply(std::string_view text, std::size_t keyCount) {
    if (text.empty())
        return std::nullopt;
    KeyReply keys;
    std::string value;
    for (std::size_t i = 0; i < keyCount; ++i)
        if (GetConfigValue(text, KeyName(i), value) && IsValidKeyCode(value))
            keys.codes.emplace_back(i, value);
    return keys;
}

std::optional<LoopConfigReply> ReadLoopConfigReply(std::string_view text) {
    LoopConfigReply config;
    if (!GetConfigValue(text, "CFG", config.text))
        return std::nullopt;
    // Entries after a malformed one are not applied; the text is kept whole.
    ReadLoopEntries(config.text, config.entries);
    return config;
}

std::optional<NewPasswordReply> ReadNewPasswordReply(std::string_view text, std::string_view key) {
    NewPasswordReply reply;
    if (!GetConfigValue(text, key, reply.password))
        return std::nullopt;
    return reply;
}

// A reply without "FILE" is usable: the terminal had no file to send.
std::optional<FileReply> ReadFileReply(std::string_view text, std::string path) {
    std::string hex;
    if (!GetConfigValue(text, "FILE", hex))
        return FileReply{std::move(path), std::nullopt};
    std::optional<std::string> bytes = HexToBytes(hex);
    if (!bytes)
        return std::nullopt;
    return FileReply{std::move(path), std::move(*bytes)};
}

} // namespace tornu
