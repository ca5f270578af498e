#pragma once
// Many simulated terminals behind one modem: the dialled number picks the
// terminal. Each is a copy of one template state with its own number, phone
// and link password, and may play one fault on its calls (all of them, or
// only the first few, so that a retry gets through):
//
//   ; phone          number  password  [fault[*calls]]
//   +79000000012     12      1234
//   +79000000013     13      1234      busy*2
//   +79000000014     14      1234      noanswer
//   +79000000015     15      1234      password
//   +79000000016     16      1234      silent
//   +79000000017     17      1234      drop*1
//
// busy and noanswer are the dial's results; password answers the login with
// error 5; silent connects and then says nothing; drop ends the call at the
// first command message.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sim/TerminalState.h"

namespace tornu {

class CSimFleet {
public:
    enum class Fault { None, Busy, NoAnswer, WrongPassword, Silent, Drop };

    struct Entry {
        CTerminalState state;
        Fault fault = Fault::None;
        int faultCalls = 0; // calls that play the fault; 0: every call
        int calls = 0;      // calls taken so far
    };

    // Replaces the fleet with the text's terminals, each a copy of `base`.
    // False with the line named on a malformed line or a phone given twice.
    bool Read(std::string_view text, const CTerminalState& base, std::string& error);
    bool Load(const std::string& path, const CTerminalState& base, std::string& error);

    // The terminal that a dial of `number` reaches, set up for this call (its
    // fault played or not); null when no terminal has that number.
    CTerminalState* Dial(const std::string& number);

    std::vector<Entry>& Entries() { return entries_; }
    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
    CTerminalState base_;
};

} // namespace tornu
