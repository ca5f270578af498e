#pragma once
// What the numbers of a status reply and of the loop configuration text mean
// to the operator: loop states, loop type bits, system-state bits and the
// loop list row built from them. Plain data and functions shared by the
// option views, the loop dialog and the command-line front end.
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace tornu {

// ---- Loop state: one hexadecimal digit per loop in "SHL" of a status reply.

inline constexpr int kLoopStateCount = 16;

// Text of the "Состояние" column; a state outside 0 to 15 shows as state 0.
std::string_view LoopStateText(int state);

// ---- Loop type: a bit mask, written in decimal in the loop configuration text.

enum LoopTypeBit : int {
    kLoopFire = 1,     // fire loop
    kLoop24Hour = 2,   // 24-hour loop
    kLoopAutoArm = 4,  // automatic arming
    kLoopDelay = 8,    // entry/exit delay
    kLoopFast65ms = 16 // 65 ms response time
};

inline constexpr int kLoopTypeBitCount = 5;
// The bits the loop dialog can express; a read-back may set higher ones.
inline constexpr int kLoopTypeKnownMask = 0x1F;

struct LoopTypeFlag {
    int mask;
    std::string_view caption;    // check box of the loop dialog
    std::string_view columnHead; // column of the loop list
};

// The five flags in bit order.
std::span<const LoopTypeFlag, kLoopTypeBitCount> LoopTypeFlags();

// "X" when the bit of flag `index` (0 to 4) is set in `type`, empty otherwise.
std::string_view LoopTypeMark(int type, int index);

// The loop dialog's boxes, in bit order, and the type rebuilt from them (any
// bit above the five is dropped, as the dialog cannot show it).
std::array<bool, kLoopTypeBitCount> LoopTypeBoxes(int type);
int LoopTypeFromBoxes(const std::array<bool, kLoopTypeBitCount>& boxes);

// Fire and automatic arming exclude each other while editing: a box is
// disabled while its partner is ticked, unless it is ticked itself (so a
// loop read back with both set can still be mended).
bool LoopTypeBoxEnabled(const std::array<bool, kLoopTypeBitCount>& boxes, int index);

// ---- System state: four bits from "SYS" of a status reply.

// How a state text reads to the operator; the views give it a colour.
enum class StateTone {
    Plain, // nothing to point out
    Good,  // armed
    Bad,   // discharged, absent, fault
};

enum SystemStateBit : int {
    kSystemBattery = 1, // battery normal
    kSystemArmed = 2,   // armed
    kSystemMains = 4,   // mains present
    kSystemBus = 8      // RS485 bus normal
};

inline constexpr int kSystemStateBitCount = 4;

struct SystemStateField {
    int mask;
    std::string_view label; // the caption beside the field
    std::string_view setText;
    StateTone setTone;
    std::string_view clearText;
    StateTone clearTone;
};

// The four fields in bit order (battery, mode, mains, bus).
std::span<const SystemStateField, kSystemStateBitCount> SystemStateFields();

struct SystemStateShown {
    std::string_view label;
    std::string_view text;
    StateTone tone;
};

// What field `index` (0 to 3) shows for a device's system state.
SystemStateShown ShowSystemState(int systemState, int index);

// ---- The other status values of a device.

inline constexpr std::string_view kSystemStateGroupCaption = "Системные параметры";
inline constexpr std::string_view kLastKeyCaption = "Последнюю операцию постановки/снятия произвел";
inline constexpr std::string_view kLastTimeCaption = "Дата/время выполнения последнего запроса";

// The key that last armed or disarmed, in decimal; nothing when negative (unknown).
std::string LastKeyText(int lastKey);

} // namespace tornu
