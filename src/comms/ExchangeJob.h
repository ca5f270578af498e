#pragma once
// Everything one exchange carries out, copied on the caller's thread before it
// starts: the worker reads nothing else. It builds each message from the
// node's snapshot and hands every reply back as a value, to be applied where
// the records live.
#include "protocol/CommandResult.h"
#include "protocol/CommandSnapshot.h"
#include "protocol/ReplyValue.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tornu {

using ExchangeNode = std::variant<TerminalSnapshot, DeviceSnapshot>;

struct ExchangeCommand {
    CommandSpec spec;
    std::string description; // "DESC": the log names the command by it
    // The node it addresses: 0 the job's node, k the job's others[k - 1]
    // (a fleet's call carries the commands of several devices at once).
    std::size_t target = 0;
};

struct ExchangeJob {
    std::string phone;        // dialled with "atd"
    std::string linkPassword; // sent in the login
    // The node the commands address: the terminal itself or one of its devices.
    ExchangeNode node;
    std::vector<ExchangeCommand> commands;
    // Further nodes of the same terminal that commands address.
    std::vector<ExchangeNode> others{};
};

// How a command of the exchange ended: kCommandNotCompleted, kCommandDone,
// or kCommandFailed with its error line.
struct CommandOutcome {
    std::int32_t state = kCommandNotCompleted;
    std::string text;
};

// A reply read on the worker, waiting to be applied.
struct PendingReply {
    std::size_t command = 0; // index in the job's commands
    ReplyValue value;
};

} // namespace tornu
