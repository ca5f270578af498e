#pragma once
// What an exchange talks to: the terminal called and the object (the terminal
// itself or one of its network devices) that builds each command's message
// and takes its reply. The document adapts its records to it; tests use fakes.
//
// Every call comes from the exchange worker thread while the exchange runs.
#include <string>

namespace tornu {

class CCommandDesc;
class CTermMessage;

class CExchangeTarget {
public:
    virtual ~CExchangeTarget() = default;

    // The terminal's phone number, dialled with "atd".
    virtual std::string Phone() const = 0;
    // The terminal's link password, sent in the login.
    virtual std::string LinkPassword() const = 0;

    // Fills the message for the command; false (message unchanged) when the
    // command cannot be built.
    virtual bool BuildCommand(const CCommandDesc& command, CTermMessage& message) = 0;
    // Why BuildCommand refuses the command, for the log and the results;
    // empty when there is nothing more to say than that it cannot be built.
    virtual std::string BuildRefusal(const CCommandDesc& /*command*/) const { return {}; }
    // Applies a reply that carries the command's code; false when it is not usable.
    virtual bool ProcessReply(const CCommandDesc& command, const CTermMessage& reply) = 0;
    // Why the last ProcessReply failed beyond the reply itself (the records
    // could not be written); empty otherwise.
    virtual std::string ReplyFailure() const { return {}; }
};

} // namespace tornu
