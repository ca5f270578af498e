#include "doc/RecordExchangeTarget.h"

#include "catalogue/CommandDesc.h"
#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "protocol/CommandSet.h"

#include <ctime>

namespace tornu {

CRecordExchangeTarget::CRecordExchangeTarget(CTerminal& terminal, CDevice* device,
                                             const std::vector<CCommandDesc*>& commands)
    : terminal_(terminal), device_(device), terminalSnapshot_(terminal.Snapshot()) {
    if (device_)
        deviceSnapshot_ = device_->Snapshot();
    specs_.reserve(commands.size());
    for (const CCommandDesc* command : commands)
        specs_.emplace_back(command, command->Spec());
}

std::string CRecordExchangeTarget::Phone() const {
    return terminalSnapshot_.phone;
}

std::string CRecordExchangeTarget::LinkPassword() const {
    return terminalSnapshot_.password;
}

CommandSpec CRecordExchangeTarget::SpecOf(const CCommandDesc& command) const {
    for (const auto& [known, spec] : specs_)
        if (known == &command)
            return spec;
    return command.Spec();
}

bool CRecordExchangeTarget::BuildCommand(const CCommandDesc& command, CTermMessage& message) {
    BuiltCommand built = deviceSnapshot_ ? BuildDeviceCommand(*deviceSnapshot_, SpecOf(command))
                                         : BuildTerminalCommand(terminalSnapshot_, SpecOf(command),
                                                                std::time(nullptr));
    if (!built.message)
        return false;
    message = std::move(*built.message);
    return true;
}

std::string CRecordExchangeTarget::BuildRefusal(const CCommandDesc& command) const {
    return deviceSnapshot_
               ? BuildDeviceCommand(*deviceSnapshot_, SpecOf(command)).refusal
               : BuildTerminalCommand(terminalSnapshot_, SpecOf(command), std::time(nullptr))
                     .refusal;
}

bool CRecordExchangeTarget::ProcessReply(const CCommandDesc& command, const CTermMessage& reply) {
    replyFailure_.clear();
    const CommandSpec spec = SpecOf(command);
    const std::optional<ReplyValue> value = deviceSnapshot_
                                                ? ReadDeviceReply(*deviceSnapshot_, spec, reply)
                                                : ReadTerminalReply(spec, reply);
    if (!value)
        return false;
    // The records hold the reply in memory now even when a row fails below.
    if (deviceSnapshot_)
        FollowReply(*deviceSnapshot_, *value);
    else
        FollowReply(terminalSnapshot_, *value);

    CConfigDatabase* db = terminal_.Database();
    if (db)
        db->TakeFailedStatementError();
    const bool applied = device_ ? device_->ApplyReply(*value) : terminal_.ApplyReply(*value);
    const std::string error = db ? db->TakeFailedStatementError() : std::string();
    if (error.empty())
        return applied;
    replyFailure_ = "ошибка записи в базу данных: " + error;
    return false;
}

} // namespace tornu
