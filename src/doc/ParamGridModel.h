#pragma once
// The rows of a device's parameter grid: a root, a row per distinct group in
// the order groups first appear, and a row per parameter under its group (or
// under the root), each with its item number, cell and display text.
#include "doc/OptionViewModels.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CDevice;

inline constexpr int kGridRootItem = 10000;
inline constexpr int kGridFirstGroupItem = 10001;
inline constexpr std::string_view kGridRootLabel = "Параметры устройства";
inline constexpr std::string_view kGridRootComment = "Список дополнительных параметров";
inline constexpr std::string_view kGridGroupComment = "Группа параметров";
inline constexpr Rgb kGridGroupColour{0xE0, 0xFF, 0xE0};
inline constexpr Rgb kGridReadOnlyColour{0xC0, 0xC0, 0xC0};
// Label column: two thirds of the grid's width, 16 pixels from either edge;
// 200 pixels before there are rows.
inline constexpr int kGridInitialLabelWidth = 200;
int GridLabelWidth(int clientWidth);

enum class GridRowKind { Root, Group, Param };

enum class GridCell {
    None,   // root and group rows
    Edit,   // writable N, F, S: a text field
    List,   // writable L: a drop-down of the list items
    YesNo,  // writable B: a drop-down of "Да" and "Нет"
    Static, // read-only: static text on a grey row
};

struct ParamGridRow {
    GridRowKind kind = GridRowKind::Param;
    // 10000 for the root, 10001... for groups, the value's index for a parameter.
    int item = kGridRootItem;
    int parentItem = -1; // -1 for the root
    std::string name;    // the parameter's name; empty for root and group rows
    std::string label;
    std::string comment;
    GridCell cell = GridCell::None;
    StateColour colour;             // none: the grid's normal colour
    std::vector<std::string> items; // drop-down items
    // The display text; for a stored text that has no display form, that
    // text itself, with `unconverted` set so that the view can mark it.
    std::string display;
    bool unconverted = false;
    bool pending = false; // changed here, not yet written to the terminal
};

struct ParamGridModel {
    // Parents before their children; children in the order the grid adds them.
    std::vector<ParamGridRow> rows;
    const ParamGridRow* Find(int item) const;
};

ParamGridModel MakeParamGridModel(const CDevice& device);

} // namespace tornu
