#pragma once
// The loop configuration text on the line: which devices of a terminal carry
// how many loops of which type. Command 40 carries it; the terminal echoes its
// own copy in the replies to commands 39 and 40.
//
//   M1=2(1,0,),S5=1(16,),M2=0(),
//
// One entry per device, each followed by ",": a prefix ("M" for a top-level
// device, the type's DTYPE or "S" for a slave), the device number, "=", the
// number of loops and, in brackets, each loop's type mask followed by ",".
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

struct LoopEntry {
    int device = 0;
    std::vector<int> types;
    bool operator==(const LoopEntry&) const = default;
};

// The entries of a text, one a line: a "," before a Latin letter starts a new
// entry and a "," at the very end is dropped; every other "," stays.
std::vector<std::string> SplitLoopConfiguration(std::string_view text);

// One entry such as "M1=2(5,6,)" or "RK7=0()". The device number follows
// every leading letter of the name, so a slave whose type code has several
// letters reads back as it was written. False when the name has fewer than
// 2 characters, the value fewer than 3, a bracket is missing, or the number
// of types differs from the loop count.
bool ParseLoopEntry(std::string_view line, LoopEntry& entry);

// The entries of a text read back, up to the first malformed one; false
// when there was one.
bool ReadLoopEntries(std::string_view text, std::vector<LoopEntry>& entries);

// One device of a terminal as the text shows it: its prefix, its number and
// its loops' type masks in the order of its loop list.
struct LoopLayoutEntry {
    std::string prefix;
    LoopEntry loops;
    // False for a slave whose master is gone: the text leaves it out, but an
    // entry read back still finds it.
    bool listed = true;
    bool operator==(const LoopLayoutEntry&) const = default;
};

// "M" for a top-level device; a slave's type code, or "S" when it has none.
std::string LoopEntryPrefix(bool topLevel, std::string_view typeCode);

// The text of the listed devices, in layout order: "M1=2(1,0,),S5=1(16,),".
std::string LoopConfigurationText(std::span<const LoopLayoutEntry> layout);

// Sets the types that `entries` give, device by device, by position in each
// device's loops; it never adds or removes loops. Stops, false, at the first
// entry for a device the layout does not have; entries before it stay
// applied.
bool ApplyLoopEntries(std::span<LoopLayoutEntry> layout, std::span<const LoopEntry> entries);

} // namespace tornu
