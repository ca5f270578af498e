// The terminal's side of the command set: the texts of terminal commands and
// what their replies change.
#include "db/Terminal.h"

#include "catalogue/CommandDesc.h"
#include "db/DbTransaction.h"
#include "db/ReplyReaders.h"
#include "protocol/ConfigText.h"
#include "protocol/ErrorText.h"
#include "protocol/TermMessage.h"

#include <cstdio>

namespace tornu {
namespace {

enum TerminalCode : int {
    kTermCheck = 1,
    kTermSetClock = 22,
    kTermReadLoops = 39,
    kTermWriteLoops = 40,
    kTermNewPassword = 97,
};

// "TIME=yy/mm/dd,hh:mm:ss;"
std::string ClockText(std::time_t now) {
    const std::tm t = LocalTime(now);
    char text[64];
    std::snprintf(text, sizeof text, "TIME=%02d/%02d/%02d,%02d:%02d:%02d;", t.tm_year % 100,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

} // namespace

bool CTerminal::SetNewPassword(std::string password) {
    if (!IsMessageSafe(password))
        return false;
    newPassword_ = std::move(password);
    return true;
}

// A change of password with nothing to change it to would leave the terminal
// and the records with an empty one.
std::string CTerminal::BuildRefusal(const CCommandDesc& command) const {
    if (!devices_.empty() && !IsMessageSafe(devices_.front()->Password()))
        return std::string(kRefusalUnsafePassword);
    if (command.Code() == kTermNewPassword) {
        if (newPassword_.empty())
            return std::string(kRefusalNoNewPassword);
        if (!IsMessageSafe(newPassword_))
            return std::string(kRefusalUnsafePassword);
    }
    return {};
}

bool CTerminal::BuildCommand(const CCommandDesc& command, CTermMessage& message,
                             std::time_t now) const {
    if (devices_.empty() || !BuildRefusal(command).empty())
        return false;
    const CDevice& first = *devices_.front();
    std::string text = "RZD=" + std::to_string(first.Address()) + ";PASS=" + first.Password() + ";";
    switch (command.Code()) {
    case kTermCheck:
    case kTermReadLoops:
        break;
    case kTermSetClock:
        text += ClockText(now);
        break;
    case kTermWriteLoops: {
        std::string loops;
        if (!BuildLoopConfiguration(loops) || loops.empty())
            return false;
        text += "CFG=" + loops + ";";
        break;
    }
    case kTermNewPassword:
        text += "NPSWD=" + newPassword_ + ";";
        break;
    default:
        if (!AppendInputFile(command, text))
            return false;
        break;
    }
    message.SetCode(command.Code());
    message.SetNumber(id_);
    message.SetData(std::move(text));
    return true;
}

bool CTerminal::ProcessReply(const CCommandDesc& command, const CTermMessage& reply) {
    if (!HasReplyHeader(reply))
        return false;
    // Whatever the reply changes lands whole or not at all.
    CDbTransaction transaction(Database());
    std::string value;
    switch (command.Code()) {
    case kTermCheck:
    case kTermSetClock:
        break;
    case kTermReadLoops:
    case kTermWriteLoops:
        if (!GetConfigValue(reply.GetData(), "CFG", value))
            return false;
        // Stores and applies the text and writes the row.
        return SetLoopConfiguration(std::move(value));
    case kTermNewPassword:
        if (!GetConfigValue(reply.GetData(), "NPSWD", value))
            return false;
        password_ = std::move(value);
        newPassword_.clear();
        break;
    default:
        if (!StoreOutputFile(command, reply.GetData()))
            return false;
        break;
    }
    return Save();
}

} // namespace tornu
