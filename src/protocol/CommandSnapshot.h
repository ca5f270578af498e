#pragma once
// What the command builders work from: a copy of the node's data taken on the
// calling thread when an exchange starts, and each chosen command with its
// input file already read. The exchange worker builds every message from
// these and never reads the records.
#include "protocol/LoopConfigText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tornu {

// Which nodes a command is offered for.
enum class CommandKind : std::int32_t {
    None = -1,       // not read yet
    Terminal = 0,    // "T": a base module
    Device = 1,      // "D": every network device
    TopLevel = 2,    // "DM": a device without a master
    Subordinate = 3, // "DS": a device that has a master
};

// File flag bits.
inline constexpr int kCommandFileIn = 1;  // the input file's bytes go with the command
inline constexpr int kCommandFileOut = 2; // the reply's file goes to the output file

// The largest input file a command carries.
inline constexpr std::size_t kCommandFileLimit = 64000;

struct CommandSpec {
    std::int32_t code = -1;
    CommandKind kind = CommandKind::None;
    std::vector<std::string> paramList; // "PLIST"; empty: every writable parameter
    int fileFlags = 0;
    // With kCommandFileIn: the file's bytes, or nothing when it could not be
    // read or is over kCommandFileLimit (the command is then refused).
    std::optional<std::string> input;
    // With kCommandFileOut: where the reply's file goes.
    std::string outputFile;

    bool HasFile(int flag) const { return (fileFlags & flag) != 0; }
};

// A device whose password opens a partition: the terminal's first device, a
// top-level device, or a slave's master.
struct PartitionAccess {
    int address = 0;
    std::string password;
};

struct TerminalSnapshot {
    int number = -1;
    std::string phone;
    std::string password; // the link password
    std::string newPassword;
    // The device with the lowest address; terminal commands cannot be built
    // without one.
    std::optional<PartitionAccess> firstDevice;
    // Every device with its loops' types, in the order of the loop
    // configuration text.
    std::vector<LoopLayoutEntry> loops;
};

struct ParamSnapshot {
    std::string name;
    std::string value;        // stored form
    std::string defaultValue; // what an empty value is sent as
    bool readable = false;    // taken from a status reply ("I", "IO")
    bool writable = false;    // sent to the device ("O", "IO")
};

struct PhoneEntry {
    int type = 0; // 0 SMS, 1 voice, 2 data
    std::string number;
    int mask = 0; // 24 bits
    bool operator==(const PhoneEntry&) const = default;
};

struct DeviceSnapshot {
    int terminal = -1;
    int address = 0;
    int master = -1; // -1: a top-level device (a partition)
    // A slave's master's password; nothing when the master is not among the
    // terminal's devices (its commands cannot be built).
    std::optional<std::string> masterPassword;
    std::string password;
    std::string newPassword;
    std::vector<ParamSnapshot> params; // in the device's order
    std::vector<PhoneEntry> phones;    // in the device's order
    std::vector<std::string> keys;     // codes, position 0 the master key

    bool IsTopLevel() const { return master == -1; }
    // The partition whose password the device's commands carry.
    std::optional<PartitionAccess> Partition() const;
};

} // namespace tornu
