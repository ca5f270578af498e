#pragma once
// What a usable reply says, read out of its data text whole before anything
// is applied: the records (and the worker's snapshot) take it afterwards, so
// a half-read reply never reaches them.
#include "protocol/CommandSnapshot.h"
#include "protocol/LoopConfigText.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tornu {

// A reply with nothing to read (commands 1, 9, 17, 22, 24, a command without
// an output file).
struct Acknowledgement {
    bool operator==(const Acknowledgement&) const = default;
};

// A device's status (command 16, and any device command without an output
// file):
//   DLYIN=45;SYS=0110;KEY=3;SHL=0013002A;
struct StatusReply {
    // The readable parameters the reply names, (name, stored value), in the
    // device's order.
    std::vector<std::pair<std::string, std::string>> params;
    std::optional<int> systemState; // "SYS", bits 0 to 3
    std::optional<int> lastKey;     // "KEY"
    // "SHL": (loop number, state), in the reply's order.
    std::vector<std::pair<int, int>> loopStates;
    bool operator==(const StatusReply&) const = default;
};

// The phone book (command 23): the device's entries it sets, by position in
// the device's phone list, each with its number as stored (the "F" padding
// gone) and its mask. Per type the items pair with that type's entries in
// order; surplus items and surplus entries are left out.
struct PhoneBookReply {
    std::vector<std::pair<std::size_t, PhoneEntry>> entries;
    bool operator==(const PhoneBookReply&) const = default;
};

// The key list (command 38): (position, code) of every valid code; a key the
// reply leaves out or gives an invalid code keeps its own.
struct KeyReply {
    std::vector<std::pair<std::size_t, std::string>> codes;
    bool operator==(const KeyReply&) const = default;
};

// The loop configuration the terminal holds (commands 39, 40): the text kept
// whole, and its entries up to the first malformed one.
struct LoopConfigReply {
    std::string text;
    std::vector<LoopEntry> entries;
    bool operator==(const LoopConfigReply&) const = default;
};

// The password a change took: "NPSWD" of the terminal (97), "NPASS" of a
// device (96).
struct NewPasswordReply {
    std::string password;
    bool operator==(const NewPasswordReply&) const = default;
};

// The output file of a command, decoded from "FILE". A command may carry a
// file both ways, and the terminal answers it with or without one: no bytes
// means the reply carried none and the output file is left as it is.
struct FileReply {
    std::string path;
    std::optional<std::string> bytes;
    bool operator==(const FileReply&) const = default;
};

using ReplyValue = std::variant<Acknowledgement, StatusReply, PhoneBookReply, KeyReply,
                                LoopConfigReply, NewPasswordReply, FileReply>;

// One lambda per kind of value, for std::visit.
template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

} // namespace tornu
