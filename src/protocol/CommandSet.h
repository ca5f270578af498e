#pragma once
// The command set as functions of values: each command's message built from
// a snapshot, each reply read into a value, and the snapshot brought along
// with the replies of its own exchange, so that a later command sends what
// the records would send by then.
//
// A terminal command's data text begins with the terminal's first device,
// unpadded:  RZD=0;PASS=<its password>;
// A device command's with its partition, two digits, and a slave's own number:
//            RZD=01;PASS=<partition password>;DEVA=05;
// The command's body follows.
#include "protocol/CommandSnapshot.h"
#include "protocol/ReplyValue.h"
#include "protocol/TermMessage.h"

#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tornu {

// Codes with handling of their own; any other code is a catalogue command
// carrying its input file or parameters and answered with its output file or
// a status.
enum CommandCode : int {
    kCmdCheck = 1,
    kCmdWriteKeys = 9,
    kCmdReadStatus = 16,
    kCmdWriteParams = 17,
    kCmdSetClock = 22,
    kCmdReadPhones = 23,
    kCmdWritePhones = 24,
    kCmdReadKeys = 38,
    kCmdReadLoops = 39,
    kCmdWriteLoops = 40,
    kCmdDevicePassword = 96,
    kCmdTerminalPassword = 97,
};

// A command's message, or why there is none: one of the refusal texts of
// protocol/ErrorText.h, or empty when there is nothing to add to
// "Невозможно создать команду" (no device, no master, an unreadable input
// file, an empty loop configuration).
struct BuiltCommand {
    std::optional<CTermMessage> message;
    std::string refusal;
};

// `now` is the time the clock command (22) sends: TIME=yy/mm/dd,hh:mm:ss;
BuiltCommand BuildTerminalCommand(const TerminalSnapshot& terminal, const CommandSpec& command,
                                  std::time_t now);
BuiltCommand BuildDeviceCommand(const DeviceSnapshot& device, const CommandSpec& command);

// A key's name in the key texts: "MKEY" at position 0, then "KEY1".."KEY14".
std::string KeyName(std::size_t position);
// MKEY=<code>;KEY1=<code>;... for every key, in order.
std::string BuildKeyText(std::span<const std::string> keys);
// SMS=...;DIA=...;DAT=...; each entry the number cut or padded with "F" to 12
// characters, the mask as "%06X" and ",":  0123FFFFFFFF000005,
std::string BuildPhoneBookText(std::span<const PhoneEntry> phones);
// NAME=value; for every writable parameter (with `restriction`, only those
// it names), an empty value sent as its default.
std::string BuildParameterText(std::span<const ParamSnapshot> params,
                               const std::vector<std::string>* restriction = nullptr);

// A phone number as it is stored: its digits and a "+" in the first
// position ("+7 (912) 345-67-89" is "+79123456789", "0123FFFFFFFF" is "0123").
std::string StoredPhoneNumber(std::string_view text);

// A reply is read only when its code and terminal number are set.
bool HasReplyHeader(const CTermMessage& reply);

// The reply to `command` as a value; nothing when it is not usable.
std::optional<ReplyValue> ReadTerminalReply(const CommandSpec& command, const CTermMessage& reply);
std::optional<ReplyValue> ReadDeviceReply(const DeviceSnapshot& device, const CommandSpec& command,
                                          const CTermMessage& reply);

// The readers of the data texts. Each reads all or nothing.
// Always a value: the readable parameters' values, "SYS", "KEY", "SHL".
StatusReply ReadStatusReply(std::string_view text, std::span<const ParamSnapshot> params);
// "SMS", "DIA" and "DAT" paired with the device's entries of each type.
// Nothing when a type is missing or a paired item is not 12 characters and
// six hexadecimal digits.
std::optional<PhoneBookReply> ReadPhoneBookReply(std::string_view text,
                                                 std::span<const PhoneEntry> phones);
// "MKEY", "KEY1".."KEY<keyCount - 1>". Nothing only for an empty text.
std::optional<KeyReply> ReadKeyReply(std::string_view text, std::size_t keyCount);
// "CFG"; nothing when it is missing.
std::optional<LoopConfigReply> ReadLoopConfigReply(std::string_view text);
// The value of `key` ("NPSWD", "NPASS"); nothing when it is missing.
std::optional<NewPasswordReply> ReadNewPasswordReply(std::string_view text, std::string_view key);
// "FILE" as bytes for `path`, no bytes when it is missing; nothing when it is
// not hexadecimal.
std::optional<FileReply> ReadFileReply(std::string_view text, std::string path);

// The value a status gives the parameter `name`; null when it gives none.
const std::string* StatusParamValue(const StatusReply& status, std::string_view name);

// The snapshot as the records stand after they took `reply`.
void FollowReply(TerminalSnapshot& terminal, const ReplyValue& reply);
void FollowReply(DeviceSnapshot& device, const ReplyValue& reply);

} // namespace tornu
