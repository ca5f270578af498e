#pragma once
// The configuration records as an exchange target: the terminal gives the
// phone number and the link password; the device, when there is one, builds
// the commands and takes the replies, otherwise the terminal itself does.
#include "comms/ExchangeTarget.h"

#include <string>

namespace tornu {

class CDevice;
class CTerminal;

class CRecordExchangeTarget : public CExchangeTarget {
public:
    // `device` null: the commands address the terminal. Both must outlive the
    // exchange.
    CRecordExchangeTarget(CTerminal& terminal, CDevice* device)
        : terminal_(terminal), device_(device) {}

    std::string Phone() const override;
    std::string LinkPassword() const override;
    bool BuildCommand(const CCommandDesc& command, CTermMessage& message) override;
    std::string BuildRefusal(const CCommandDesc& command) const override;
    // A reply whose rows could not all be written is not passed for applied.
    bool ProcessReply(const CCommandDesc& command, const CTermMessage& reply) override;
    std::string ReplyFailure() const override { return replyFailure_; }

private:
    std::string replyFailure_;
    CTerminal& terminal_;
    CDevice* device_;
};

} // namespace tornu
