#include "doc/RecordExchangeTarget.h"

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

bool CRecordExchangeTarget::ProcessReply(const CCommandDesc& command, const CTermMessage& reply) {
    return device_ ? device_->ProcessReply(command, reply) : terminal_.ProcessReply(command, reply);
}

} // namespace tornu
