#include "CliShow.h"

#include "catalogue/ParamDesc.h"
#include "db/Device.h"
#include "db/DeviceParam.h"
#include "db/LoopConfiguration.h"
#include "db/Sensor.h"
#include "db/Terminal.h"
#include "doc/TornuCfgDoc.h"
#include "protocol/LoopStates.h"
#include "settings/Encoding.h"

#include <map>
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

void PrintTerminal(const CTerminal& terminal, bool showPasswords, std::ostream& out) {
    Field(out, "Номер устройства", std::to_string(terminal.Id()));
    Field(out, "Тип", terminal.Type().Name());
    Field(out, "Номер телефона", terminal.Phone());
    Field(out, "Пароль на связь", Secret(terminal.Password(), showPasswords));
    if (!terminal.NewPassword().empty())
        Field(out, "Новый пароль на связь", Secret(terminal.NewPassword(), showPasswords));
    std::string current;
    terminal.BuildLoopConfiguration(current);
    PrintConfiguration(out, "Текущая конфигурация", current);
    PrintConfiguration(out, "Конфигурация считанная с устройства", terminal.ReadConfiguration());
}

// Cells padded to the column widths (pixels / 8, at least the head).
void PrintRow(std::ostream& out, const LoopListRow& row) {
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

void PrintLoops(const CDevice& device, std::ostream& out) {
    out << "Шлейфы:\n";
    LoopListRow head;
    const auto columns = LoopListColumns();
    for (std::size_t i = 0; i < head.size(); ++i)
        head[i] = std::string(columns[i].head);
    PrintRow(out, head);
    const auto rows = [&](const CDevice& owner) {
        for (const CSensor* loop : owner.Loops())
            PrintRow(out, MakeLoopListRow(loop->Number(), owner.Address(), loop->Name(),
                                          loop->State(), loop->Type()));
    };
    rows(device);
    for (const CDevice* slave : device.Slaves())
        rows(*slave);
}

void PrintSystemState(const CDevice& device, std::ostream& out) {
    out << kSystemStateGroupCaption << ":\n";
    // The view's order: mode, battery, bus, mains.
    for (int index : {1, 0, 3, 2}) {
        const SystemStateShown shown = ShowSystemState(device.SystemState(), index);
        out << "  " << shown.label << ": " << shown.text << '\n';
    }
    Field(out, kLastKeyCaption, LastKeyText(device.LastKey()));
    Field(out, kLastTimeCaption, device.LastTime());
}

void PrintParams(const CDevice& device, std::ostream& out) {
    // Groups in the order they first appear, as the grid shows them.
    std::vector<std::string> groups;
    std::map<std::string, std::vector<const CDeviceParam*>> byGroup;
    for (const auto& param : device.Params()) {
        const std::string group = param->Desc() ? param->Desc()->Group() : std::string();
        if (!byGroup.count(group))
            groups.push_back(group);
        byGroup[group].push_back(param.get());
    }
    out << "Параметры:\n";
    for (const std::string& group : groups) {
        out << "  [" << (group.empty() ? "Общие" : group) << "]\n";
        for (const CDeviceParam* param : byGroup[group]) {
            std::string display = param->Value();
            if (param->Desc())
                param->Desc()->ToDisplay(param->Value(), display);
            const std::string label = param->Desc() ? param->Desc()->Description() : param->Name();
            out << "    " << label << " (" << param->Name() << "): " << display << '\n';
        }
    }
}

void PrintDevice(const CDevice& device, bool showPasswords, std::ostream& out) {
    Field(out, "Номер прибора", std::to_string(device.Terminal().Id()));
    Field(out, "Сетевой адрес", std::to_string(device.Address()));
    Field(out, "Тип устройства", device.Type().Name());
    if (device.IsTopLevel()) {
        Field(out, "Название", device.Name());
        Field(out, "Пароль раздела", Secret(device.Password(), showPasswords));
        if (!device.NewPassword().empty())
            Field(out, "Новый пароль раздела", Secret(device.NewPassword(), showPasswords));
        PrintSystemState(device, out);
        PrintLoops(device, out);
    } else {
        Field(out, "Ведущее устройство", std::to_string(device.Master()));
    }
    PrintParams(device, out);
}

} // namespace

void PrintTree(const CTornuCfgDoc& doc, std::ostream& out) {
    PrintItems(doc.Tree().Roots(), 0, out);
}

void PrintNode(const CTreeNode& node, bool showPasswords, std::ostream& out) {
    if (node.Kind() == NodeKind::Terminal)
        PrintTerminal(node.Terminal(), showPasswords, out);
    else
        PrintDevice(*node.Device(), showPasswords, out);
}

} // namespace tornu::cli
