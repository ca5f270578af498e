// The device's side of the command set: the texts of device commands, the
// key list and phone book as the terminal takes them, and what the replies
// change. Reply texts come from the line and are not trusted: every value is
// length-checked and read without assumptions.
#include "db/Device.h"

#include "catalogue/CommandDesc.h"
#include "catalogue/ParamDesc.h"
#include "db/DbTransaction.h"
#include "db/UpdateBatch.h"
#include "db/ReplyReaders.h"
#include "db/Sensor.h"
#include "db/Terminal.h"
#include "protocol/ConfigText.h"
#include "protocol/ErrorText.h"
#include "protocol/TermMessage.h"
#include "settings/Encoding.h"

#include <array>
#include <cstdio>

namespace tornu {
namespace {

enum DeviceCode : int {
    kDevWriteKeys = 9,
    kDevReadStatus = 16,
    kDevWriteParams = 17,
    kDevReadPhones = 23,
    kDevWritePhones = 24,
    kDevReadKeys = 38,
    kDevNewPassword = 96,
};

// Phone types in protocol order: SMS, voice, data.
constexpr std::array<const char*, 3> kPhoneKeywords = {"SMS", "DIA", "DAT"};
constexpr std::size_t kPhoneDigits = 12;
constexpr std::size_t kPhoneEntryLength = 18;
constexpr int kMask24 = 0xFFFFFF;

constexpr std::size_t kSystemStateBits = 4;
constexpr std::size_t kLoopGroup = 4;

std::string TwoDigits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

std::string KeyName(std::size_t position) {
    return position == 0 ? std::string("MKEY") : "KEY" + std::to_string(position);
}

// One phone-book entry: number cut or padded with "F" to 12 characters, the
// 24-bit mask in six upper-case hexadecimal digits and ",".
std::string PhoneEntryText(const CDevicePhone& phone) {
    std::string entry(Utf8Prefix(phone.Phone(), kPhoneDigits));
    const std::size_t length = Utf8Length(entry);
    if (length < kPhoneDigits)
        entry.append(kPhoneDigits - length, 'F');
    char mask[16];
    std::snprintf(mask, sizeof mask, "%06X,", static_cast<unsigned>(phone.Mask()) & kMask24);
    return entry + mask;
}

// "0"-"9", "A"-"F"; anything else is state 0.
int LoopStateDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
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

// The loop among the device's own loops, then its slaves', depth first.
CSensor* FindLoopOf(const CDevice& device, int number) {
    for (CSensor* loop : device.Loops())
        if (loop->Number() == number)
            return loop;
    for (const CDevice* slave : device.Slaves())
        if (CSensor* loop = FindLoopOf(*slave, number))
            return loop;
    return nullptr;
}

void ReadLoopStates(const CDevice& device, std::string_view value) {
    for (std::size_t at = 0; at + kLoopGroup <= value.size(); at += kLoopGroup) {
        const int number = ReadLenientInteger(value.substr(at, kLoopGroup - 1));
        if (CSensor* loop = FindLoopOf(device, number))
            loop->SetState(LoopStateDigit(value[at + kLoopGroup - 1]));
    }
}

// One 18-character item: number to the entry, then its mask. False when the
// item is malformed.
bool ReadPhoneEntry(CDevicePhone& phone, std::string_view item) {
    if (Utf8Length(item) != kPhoneEntryLength)
        return false;
    const std::string_view number = Utf8Prefix(item, kPhoneDigits);
    phone.SetPhoneNumber(number);
    std::uint32_t mask = 0;
    if (!ParseHex(item.substr(number.size()), mask))
        return false;
    return phone.SetMask(static_cast<int>(mask));
}

} // namespace

bool CDevice::SetNewPassword(std::string password) {
    if (!IsMessageSafe(password))
        return false;
    newPassword_ = std::move(password);
    return true;
}

std::string CDevice::BuildRefusal(const CCommandDesc& command) const {
    const CDevice* master = IsTopLevel() ? this : terminal_->FindDevice(master_);
    if (master && !IsMessageSafe(master->Password()))
        return std::string(kRefusalUnsafePassword);
    if (command.Code() == kDevNewPassword) {
        if (newPassword_.empty())
            return std::string(kRefusalNoNewPassword);
        if (!IsMessageSafe(newPassword_))
            return std::string(kRefusalUnsafePassword);
    }
    return {};
}

bool CDevice::BuildCommand(const CCommandDesc& command, CTermMessage& message) const {
    if (!BuildRefusal(command).empty())
        return false;
    std::string text;
    if (IsTopLevel()) {
        text = "RZD=" + TwoDigits(address_) + ";PASS=" + password_ + ";";
    } else {
        const CDevice* master = terminal_->FindDevice(master_);
        if (!master)
            return false;
        text = "RZD=" + TwoDigits(master->Address()) + ";PASS=" + master->Password() +
               ";DEVA=" + TwoDigits(address_) + ";";
    }
    const std::vector<std::string>& plist = command.ParamList();
    switch (command.Code()) {
    case kDevWriteKeys:
        text += BuildKeyText();
        break;
    case kDevReadStatus:
    case kDevReadPhones:
    case kDevReadKeys:
        break;
    case kDevWriteParams:
        text += BuildParameterText(*this, plist.empty() ? nullptr : &plist);
        break;
    case kDevWritePhones:
        text += BuildPhoneBookText();
        break;
    case kDevNewPassword:
        text += "NPASS=" + newPassword_ + ";";
        break;
    default:
        if (command.HasFile(kCommandFileIn)) {
            if (!AppendInputFile(command, text))
                return false;
        } else if (!plist.empty()) {
            text += BuildParameterText(*this, &plist);
        }
        break;
    }
    message.SetCode(command.Code());
    message.SetNumber(terminal_->Id());
    message.SetData(std::move(text));
    return true;
}

bool CDevice::ProcessReply(const CCommandDesc& command, const CTermMessage& reply,
                           std::time_t now) {
    if (!HasReplyHeader(reply))
        return false;
    // Whatever the reply changes lands whole or not at all: a status stores
    // its parameters, loop states and the device row together.
    CDbTransaction transaction(Database());
    CUpdateBatch batch(Database());
    const std::string& data = reply.GetData();
    bool usable = true;
    switch (command.Code()) {
    case kDevWriteKeys:
    case kDevWriteParams:
    case kDevWritePhones:
        break;
    case kDevReadStatus:
        usable = ReadStatusReply(data);
        break;
    case kDevReadPhones:
        usable = ReadPhoneBookReply(data);
        break;
    case kDevReadKeys:
        usable = ReadKeyReply(data);
        break;
    case kDevNewPassword: {
        std::string value;
        usable = GetConfigValue(data, "NPASS", value);
        if (usable) {
            password_ = std::move(value);
            newPassword_.clear();
        }
        break;
    }
    default:
        usable = command.HasFile(kCommandFileOut) ? StoreOutputFile(command, data)
                                                  : ReadStatusReply(data);
        break;
    }
    batch.Write();
    // Sets the time and writes the whole row, password and states included.
    return usable && SetLastTime(TimeStamp(now));
}

bool CDevice::ReadStatusReply(std::string_view text) {
    std::string value;
    for (const auto& param : params_) {
        const CParamDesc* desc = param->Desc();
        if (desc && desc->IsReadable() && GetConfigValue(text, param->Name(), value))
            param->SetValue(value);
    }
    if (GetConfigValue(text, "SYS", value))
        systemState_ = ReadSystemState(value);
    if (GetConfigValue(text, "KEY", value))
        lastKey_ = ReadLenientInteger(value);
    if (GetConfigValue(text, "SHL", value))
        ReadLoopStates(*this, value);
    return true;
}

bool CDevice::ReadPhoneBookReply(std::string_view text) {
    for (std::size_t type = 0; type < kPhoneKeywords.size(); ++type) {
        std::string value;
        if (!GetConfigValue(text, kPhoneKeywords[type], value))
            return false;
        const std::vector<std::string> items = SplitList(value);
        std::size_t next = 0;
        for (const auto& phone : phones_) {
            if (phone->Type() != static_cast<int>(type))
                continue;
            if (next == items.size())
                break;
            if (!ReadPhoneEntry(*phone, items[next++]))
                return false;
        }
    }
    return true;
}

bool CDevice::ReadKeyReply(std::string_view text) {
    if (text.empty())
        return false;
    std::string value;
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (GetConfigValue(text, KeyName(i), value))
            keys_[i]->SetKeyCode(value);
    return true;
}

std::string CDevice::BuildKeyText() const {
    std::string text;
    for (std::size_t i = 0; i < keys_.size(); ++i)
        text.append(KeyName(i)).append("=").append(keys_[i]->Code()).append(";");
    return text;
}

std::string CDevice::BuildPhoneBookText() const {
    std::array<std::string, kPhoneKeywords.size()> lists;
    for (const auto& phone : phones_) {
        const int type = phone->Type();
        if (type >= 0 && type < static_cast<int>(lists.size()))
            lists[static_cast<std::size_t>(type)] += PhoneEntryText(*phone);
    }
    std::string text;
    for (std::size_t type = 0; type < lists.size(); ++type)
        text += std::string(kPhoneKeywords[type]) + "=" + lists[type] + ";";
    return text;
}

} // namespace tornu
