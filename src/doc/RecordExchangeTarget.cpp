#include "doc/RecordExchangeTarget.h"

#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"

namespace tornu {

std::string CRecordExchangeTarget::Phone() const {
    return terminal_.Phone();
}

std::string CRecordExchangeTarget::LinkPassword() const {
    return terminal_.Password();
}

bool CRecordExchangeTarget::BuildCommand(const CCommandDesc& command, CTermMessage& message) {
    return device_ ? device_->BuildCommand(command, message)
                   : terminal_.BuildCommand(command, message);
}

std::string CRecordExchangeTarget::BuildRefusal(const CCommandDesc& command) const {
    return device_ ? device_->BuildRefusal(command) : terminal_.BuildRefusal(command);
}

bool CRecordExchangeTarget::ProcessReply(const CCommandDesc& command, const CTermMessage& reply) {
    CConfigDatabase* db = terminal_.Database();
    replyFailure_.clear();
    if (db)
        db->TakeFailedStatementError();
    const bool applied =
        device_ ? device_->ProcessReply(command, reply) : terminal_.ProcessReply(command, reply);
    const std::string error = db ? db->TakeFailedStatementError() : std::string();
    if (error.empty())
        return applied;
    replyFailure_ = "ошибка записи в базу данных: " + error;
    return false;
}

} // namespace tornu
