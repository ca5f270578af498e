#pragma once
// The configuration records as an exchange target. Everything the commands
// are built from is copied when the target is made, on the calling thread:
// the terminal's data (phone, link password, loops), the device's when the
// commands address one, and each chosen command with its input file read.
// The worker builds every message from that copy, reads each reply into a
// value, applies the value to the records and brings the copy along with
// it, so that a later command of the exchange sends what the records hold.
#include "comms/ExchangeTarget.h"
#include "protocol/CommandSnapshot.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tornu {

class CDevice;
class CTerminal;

class CRecordExchangeTarget : public CExchangeTarget {
public:
    // `device` null: the commands address the terminal. Both must outlive the
    // exchange; `commands` are the ones the exchange will run.
    CRecordExchangeTarget(CTerminal& terminal, CDevice* device,
                          const std::vector<CCommandDesc*>& commands = {});

    std::string Phone() const override;
    std::string LinkPassword() const override;
    bool BuildCommand(const CCommandDesc& command, CTermMessage& message) override;
    std::string BuildRefusal(const CCommandDesc& command) const override;
    // A reply whose rows could not all be written is not passed for applied.
    bool ProcessReply(const CCommandDesc& command, const CTermMessage& reply) override;
    std::string ReplyFailure() const override { return replyFailure_; }

private:
    // The spec taken at the start; a command not given then is taken now.
    CommandSpec SpecOf(const CCommandDesc& command) const;

    CTerminal& terminal_;
    CDevice* device_;
    TerminalSnapshot terminalSnapshot_;
    std::optional<DeviceSnapshot> deviceSnapshot_;
    std::vector<std::pair<const CCommandDesc*, CommandSpec>> specs_;
    std::string replyFailure_;
};

} // namespace tornu
