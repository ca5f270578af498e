#pragma once
// The terminal's side of a session: the receipt, the login, and one reply to
// each command message, worked out from the simulated state and changing it
// as the configurator writes. Faults that concern what is answered (silence,
// error replies, another code, a dropped call) are played here; faults that
// concern the bytes on the line belong to the simulator.
//
// A command's data text begins with its address prefix:
//   RZD=<partition>;PASS=<partition password>;[DEVA=<subordinate device>;]<body>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "protocol/TermMessage.h"
#include "sim/TerminalState.h"

namespace tornu {

class CSimTerminal {
public:
    enum class Outcome {
        Reply,  // send the reply
        Silent, // send nothing
        HangUp, // the call drops now
        End,    // the session ended (closing message), nothing to send
    };

    // Error numbers of a code-70 reply.
    enum Error {
        kErrChecksum = 2,
        kErrAddress = 4,
        kErrLinkPassword = 5,
        kErrPartitionPassword = 6,
        kErrNoPartition = 7,
        kErrFormat = 8,
        kErrNoLogin = 10,
        kErrNoDevice = 12,
    };
    static constexpr int kErrorCode = 70;

    explicit CSimTerminal(CTerminalState& state) : state_(state) {}

    // A new call: logged out, command count and silence counters reset.
    void StartSession();
    bool LoggedIn() const { return loggedIn_; }

    // The receipt message; false when the receipt fault says none. A garbled
    // receipt is still true: the simulator cuts its text short.
    bool BuildReceipt(CTermMessage& receipt) const;

    // One received message; `reply` is filled when the outcome is Reply.
    Outcome Handle(const CTermMessage& request, CTermMessage& reply);

    // A code-70 reply from this terminal.
    CTermMessage ErrorReply(int error) const;

private:
    struct Target {
        SSimDevice* partition = nullptr;
        SSimDevice* device = nullptr; // the partition itself, or its subordinate device
    };

    bool ApplyFaults(const CTermMessage& request, CTermMessage& reply, Outcome& outcome);
    Outcome Login(const CTermMessage& request, CTermMessage& reply);
    // Returns 0 and the target, or the error number of the reply.
    int FindTarget(const std::string& data, Target& target);
    // Returns 0 and the reply's data text, or an error number.
    int Execute(int code, const std::string& data, const Target& target, std::string& out);
    int TerminalCommand(int code, const std::string& data, std::string& out);
    int DeviceCommand(int code, const std::string& data, SSimDevice& device, std::string& out);
    int GenericCommand(int code, const std::string& data, SSimDevice& device, std::string& out);

    CTerminalState& state_;
    bool loggedIn_ = false;
    int commands_ = 0;
    std::map<int, int> silentLeft_;
};

// Texts of the device's status, phone book and key list as the terminal sends them.
std::string BuildStatusText(CTerminalState& state, SSimDevice& device);
std::string BuildPhoneBookText(const SSimDevice& device);
std::string BuildKeyText(const SSimDevice& device);
// Every pair of the data text other than the address prefix, in order.
std::vector<std::pair<std::string, std::string>> BodyPairs(const std::string& data);

} // namespace tornu
