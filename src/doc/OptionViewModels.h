#pragma once
// What the two option views of the right pane show, computed from the records
// once, so that every front end (the desktop program, the command-line front
// end) shows exactly the same and none of them reads a record. Presentation
// constants (column widths, colours) live here with the models.
#include "protocol/LoopStates.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CDevice;
class CTerminal;

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kStateGreen{0, 255, 0};
inline constexpr Rgb kStateRed{255, 0, 0};

// A label background; no value means the window system's button-face colour.
using StateColour = std::optional<Rgb>;
StateColour ToneColour(StateTone tone);

// ---- Terminal option view.

struct TerminalViewModel {
    int number = 0;            // "Номер устройства"
    std::string type;          // "Тип"
    std::string phone;         // "Номер телефона"
    std::string password;      // "Пароль на связь"
    std::string newPassword;   // held in memory, beside the password
    std::string currentConfig; // "Текущая конфигурация": built from the devices
    std::string readConfig; // "Конфигурация считанная с устройства"
};

TerminalViewModel MakeTerminalViewModel(const CTerminal& terminal);

// ---- Device option view.

inline constexpr int kLoopListColumnCount = 4 + kLoopTypeBitCount;

struct LoopListColumn {
    std::string_view head;
    int width; // pixels
    bool centred;
};

// "Шлейф", "Устр.", "Комментарий", "Состояние", then the five type columns.
std::span<const LoopListColumn, kLoopListColumnCount> LoopListColumns();

using LoopListCells = std::array<std::string, kLoopListColumnCount>;

// Loop number as "%3d", the owning device's number, the loop's comment, the
// state text, then "X" or empty per type bit.
LoopListCells MakeLoopListCells(int loopNumber, int deviceNumber, std::string_view comment,
                                int state, int type);

struct LoopRowModel {
    int loop = 0;   // the loop's number: unique on its terminal
    int device = 0; // address of the device the loop belongs to
    int type = 0;   // type bits, for the loop dialog's boxes
    std::string comment;
    LoopListCells cells;
};

struct SystemStateModel {
    std::string_view caption; // "Режим", "Батарея", ...
    std::string_view text;
    StateColour colour;
};

// The order the view shows the system state in: mode, battery, bus, mains.
inline constexpr std::array<int, kSystemStateBitCount> kSystemStateViewOrder{1, 0, 3, 2};

struct DeviceViewModel {
    int terminal = 0;     // "Номер прибора"
    int address = 0;      // "Сетевой адрес"
    std::string type;     // "Тип устройства"
    std::string name;     // "Название"
    std::string password; // partition password (not shown by the desktop view)
    std::string newPassword;
    // A subordinate device: name, system state, last operation and loop list
    // are hidden.
    bool subordinate = false;
    int master = -1;
    std::array<SystemStateModel, kSystemStateBitCount> system{}; // in view order
    std::string lastKey;                                         // empty when unknown
    std::string lastTime;
    // The device's own loops in its order, then each slave's in slave order.
    std::vector<LoopRowModel> loops;
};

DeviceViewModel MakeDeviceViewModel(const CDevice& device);

// ---- The loop dialog "Шлейф".

inline constexpr std::string_view kLoopDialogTitle = "Шлейф";
inline constexpr std::string_view kChooseLoopMessage = "Выберите номер шлейфа";

struct LoopInput {
    std::array<bool, kLoopTypeBitCount> boxes{}; // in bit order
    std::string comment;
};

} // namespace tornu
