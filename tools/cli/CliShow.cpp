#include "CliShow.h"

#include "db/LoopConfiguration.h"
#include "doc/ConfigEditor.h"
#include "doc/ConfigTree.h"
#include "settings/Encoding.h"

#include <ostream>
#include <string>

namespace tornu::cli {

namespace {

void PrintItems(const CTreeNode::List& items, int depth, std::ostream& out) {
    for (const auto& item : items) {
        out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << item->Label() << '\n';
        PrintItems(item->Children(), depth + 1, out);
    }
}

void Field(std::ostream& out, std::string_view label, std::string_view value) {
    out << label << ": " << value << '\n';
}

std::string Secret(const std::string& password, bool show) {
    if (show || password.empty())
        return password;
    return "******";
}

// A loop configuration text, one entry a line, under its group caption.
void PrintConfiguration(std::ostream& out, std::string_view caption, const std::string& text) {
    out << caption << ":\n";
    for (const std::string& line : SplitLoopConfiguration(text))
        out << "  " << line << '\n';
}

void PrintTerminal(const TerminalViewModel& terminal, bool showPasswords, std::ostream& out) {
    Field(out, "Номер устройства", std::to_string(terminal.number));
    Field(out, "Тип", terminal.type);
    Field(out, "Номер телефона", terminal.phone);
    Field(out, "Пароль на связь", Secret(terminal.password, showPasswords));
    if (!terminal.newPassword.empty())
        Field(out, "Новый пароль на связь", Secret(terminal.newPassword, showPasswords));
    PrintConfiguration(out, "Текущая конфигурация", terminal.currentConfig);
    PrintConfiguration(out, "Конфигурация считанная с устройства", terminal.readConfig);
}

// Cells padded to the column widths (pixels / 8, at least the head).
void PrintRow(std::ostream& out, const LoopListCells& row) {
    const auto columns = LoopListColumns();
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const std::size_t width = std::max<std::size_t>(
            static_cast<std::size_t>(columns[i].width / 8), Utf8Length(columns[i].head));
        std::string cell = row[i];
        const std::size_t length = Utf8Length(cell);
        if (length < width)
            cell.append(width - length, ' ');
        line += cell + (i + 1 < row.size() ? " | " : "");
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    out << "  " << line << '\n';
}

void PrintLoops(const DeviceViewModel& device, std::ostream& out) {
    out << "Шлейфы:\n";
    LoopListCells head;
    const auto columns = LoopListColumns();
    for (std::size_t i = 0; i < head.size(); ++i)
        head[i] = std::string(columns[i].head);
    PrintRow(out, head);
    for (const LoopRowModel& row : device.loops)
        PrintRow(out, row.cells);
}

void PrintSystemState(const DeviceViewModel& device, std::ostream& out) {
    out << kSystemStateGroupCaption << ":\n";
    for (const SystemStateModel& field : device.system)
        out << "  " << field.caption << ": " << field.text << '\n';
    Field(out, kLastKeyCaption, device.lastKey);
    Field(out, kLastTimeCaption, device.lastTime);
}

void PrintParams(const ParamGridModel& grid, int parent, int depth, std::ostream& out) {
    for (const ParamGridRow& row : grid.rows) {
        if (row.parentItem != parent)
            continue;
        out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << row.label;
        if (row.kind == GridRowKind::Param) {
            out << " (" << row.name << "): " << row.display;
            if (row.unconverted)
                out << " [не преобразуется]";
            out << '\n';
        } else {
            out << ":\n";
            PrintParams(grid, row.item, depth + 1, out);
        }
    }
}

void PrintDevice(const DeviceViewModel& device, const ParamGridModel& grid, bool showPasswords,
                 std::ostream& out) {
    Field(out, "Номер прибора", std::to_string(device.terminal));
    Field(out, "Сетевой адрес", std::to_string(device.address));
    Field(out, "Тип устройства", device.type);
    if (!device.subordinate) {
        Field(out, "Название", device.name);
        Field(out, "Пароль раздела", Secret(device.password, showPasswords));
        if (!device.newPassword.empty())
            Field(out, "Новый пароль раздела", Secret(device.newPassword, showPasswords));
        PrintSystemState(device, out);
        PrintLoops(device, out);
    } else {
        Field(out, "Ведущее устройство", std::to_string(device.master));
    }
    PrintParams(grid, -1, 0, out);
}

} // namespace

void PrintTree(const CConfigTree& tree, std::ostream& out) {
    PrintItems(tree.Model().Roots(), 0, out);
}

void PrintNode(const CConfigEditor& editor, const CTreeNode& node, bool showPasswords,
               std::ostream& out) {
    if (std::optional<TerminalViewModel> terminal = editor.TerminalView(node))
        PrintTerminal(*terminal, showPasswords, out);
    else if (std::optional<DeviceViewModel> device = editor.DeviceView(node))
        PrintDevice(*device, *editor.ParamGrid(node), showPasswords, out);
}

} // namespace tornu::cli
