#include "doc/OptionViewModels.h"

#include "db/Device.h"
#include "db/Sensor.h"
#include "db/Terminal.h"

namespace tornu {

namespace {

constexpr std::array<LoopListColumn, kLoopListColumnCount> kLoopListColumns{{
    {"Шлейф", 50, false},
    {"Устр.", 50, false},
    {"Комментарий", 200, false},
    {"Состояние", 150, false},
    {"ПОЖ", 40, true},
    {"СУТ", 40, true},
    {"АВТ", 40, true},
    {"ЗДЖ", 40, true},
    {"65 мс", 45, true},
}};

void AppendLoopRows(const CDevice& owner, std::vector<LoopRowModel>& rows) {
    for (const CSensor* loop : owner.Loops())
        rows.push_back({loop->Number(), owner.Address(), loop->Type(), std::string(loop->Name()),
                        MakeLoopListCells(loop->Number(), owner.Address(), loop->Name(),
                                          loop->State(), loop->Type())});
}

} // namespace

StateColour ToneColour(StateTone tone) {
    switch (tone) {
    case StateTone::Good:
        return kStateGreen;
    case StateTone::Bad:
        return kStateRed;
    case StateTone::Plain:
        break;
    }
    return std::nullopt;
}

std::span<const LoopListColumn, kLoopListColumnCount> LoopListColumns() {
    return kLoopListColumns;
}

LoopListCells MakeLoopListCells(int loopNumber, int deviceNumber, std::string_view comment,
                                int state, int type) {
    // "%3d": right-aligned in three places, wider numbers as they are.
    std::string number = std::to_string(loopNumber);
    if (number.size() < 3)
        number.insert(0, 3 - number.size(), ' ');
    LoopListCells cells{std::move(number), std::to_string(deviceNumber), std::string(comment),
                        std::string(LoopStateText(state))};
    for (int i = 0; i < kLoopTypeBitCount; ++i)
        cells[static_cast<std::size_t>(4 + i)] = std::string(LoopTypeMark(type, i));
    return cells;
}

TerminalViewModel MakeTerminalViewModel(const CTerminal& terminal) {
    TerminalViewModel model;
    model.number = terminal.Id();
    model.type = terminal.Type().Name();
    model.phone = terminal.Phone();
    model.password = terminal.Password();
    model.newPassword = terminal.NewPassword();
    terminal.BuildLoopConfiguration(model.currentConfig);
    model.readConfig = terminal.ReadConfiguration();
    return model;
}

DeviceViewModel MakeDeviceViewModel(const CDevice& device) {
    DeviceViewModel model;
    model.terminal = device.Terminal().Id();
    model.address = device.Address();
    model.type = device.Type().Name();
    model.name = device.Name();
    model.password = device.Password();
    model.newPassword = device.NewPassword();
    model.subordinate = !device.IsTopLevel();
    model.master = device.Master();
    for (std::size_t i = 0; i < kSystemStateViewOrder.size(); ++i) {
        const SystemStateShown shown =
            ShowSystemState(device.SystemState(), kSystemStateViewOrder[i]);
        model.system[i] = {shown.label, shown.text, ToneColour(shown.tone)};
    }
    model.lastKey = LastKeyText(device.LastKey());
    model.lastTime = device.LastTime();
    AppendLoopRows(device, model.loops);
    for (const CDevice* slave : device.Slaves())
        AppendLoopRows(*slave, model.loops);
    return model;
}

} // namespace tornu
