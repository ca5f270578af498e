#include "protocol/LoopStates.h"

namespace tornu {

namespace {

constexpr std::array<std::string_view, kLoopStateCount> kLoopStateTexts{
    "-----------",
    "Снят, короткое замыкание",
    "Снят, обрыв",
    "Норма",
    "Тревога",
    "Тревога, короткое замыкание",
    "Тревога, обрыв",
    "Тревога, готов к постановке",
    "Снят, готов к постановке",
    "На охране, норма",
    "Неисправность пожарного ШС",
    "Внимание пожарного ШС",
    "Пожар",
    "Неисправность ШС",
    "Задержка постановки",
    "Снят с охраны",
};

constexpr std::array<LoopTypeFlag, kLoopTypeBitCount> kLoopTypeFlags{{
    {kLoopFire, "Пожарный", "ПОЖ"},
    {kLoop24Hour, "Круглосуточный", "СУТ"},
    {kLoopAutoArm, "Автовзятие", "АВТ"},
    {kLoopDelay, "Задержка", "ЗДЖ"},
    {kLoopFast65ms, "65 мс", "65 мс"},
}};

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

constexpr std::array<SystemStateField, kSystemStateBitCount> kSystemStateFields{{
    {kSystemBattery, "Батарея", "Норма", std::nullopt, "Разряжена", kStateRed},
    {kSystemArmed, "Режим", "На охране", kStateGreen, "Снят с охраны", std::nullopt},
    {kSystemMains, "Сеть 220В", "Есть", std::nullopt, "Отсутствует", kStateRed},
    {kSystemBus, "Шина RS485", "Норма", std::nullopt, "Авария", kStateRed},
}};

constexpr int kFireIndex = 0;
constexpr int kAutoArmIndex = 2;

bool ValidIndex(int index, int count) {
    return index >= 0 && index < count;
}

} // namespace

std::string_view LoopStateText(int state) {
    return kLoopStateTexts[ValidIndex(state, kLoopStateCount) ? state : 0];
}

std::span<const LoopTypeFlag, kLoopTypeBitCount> LoopTypeFlags() {
    return kLoopTypeFlags;
}

std::string_view LoopTypeMark(int type, int index) {
    if (!ValidIndex(index, kLoopTypeBitCount))
        return {};
    return (type & kLoopTypeFlags[index].mask) ? "X" : "";
}

std::array<bool, kLoopTypeBitCount> LoopTypeBoxes(int type) {
    std::array<bool, kLoopTypeBitCount> boxes{};
    for (int i = 0; i < kLoopTypeBitCount; ++i)
        boxes[i] = (type & kLoopTypeFlags[i].mask) != 0;
    return boxes;
}

int LoopTypeFromBoxes(const std::array<bool, kLoopTypeBitCount>& boxes) {
    int type = 0;
    for (int i = 0; i < kLoopTypeBitCount; ++i)
        if (boxes[i])
            type |= kLoopTypeFlags[i].mask;
    return type;
}

bool LoopTypeBoxEnabled(const std::array<bool, kLoopTypeBitCount>& boxes, int index) {
    if (!ValidIndex(index, kLoopTypeBitCount))
        return false;
    if (boxes[index])
        return true;
    if (index == kFireIndex)
        return !boxes[kAutoArmIndex];
    if (index == kAutoArmIndex)
        return !boxes[kFireIndex];
    return true;
}

std::span<const LoopListColumn, kLoopListColumnCount> LoopListColumns() {
    return kLoopListColumns;
}

LoopListRow MakeLoopListRow(int loopNumber, int deviceNumber, std::string_view comment, int state,
                            int type) {
    // "%3d": right-aligned in three places, wider numbers as they are.
    std::string number = std::to_string(loopNumber);
    if (number.size() < 3)
        number.insert(0, 3 - number.size(), ' ');
    LoopListRow row{std::move(number), std::to_string(deviceNumber), std::string(comment),
                    std::string(LoopStateText(state))};
    for (int i = 0; i < kLoopTypeBitCount; ++i)
        row[4 + i] = std::string(LoopTypeMark(type, i));
    return row;
}

std::span<const SystemStateField, kSystemStateBitCount> SystemStateFields() {
    return kSystemStateFields;
}

SystemStateShown ShowSystemState(int systemState, int index) {
    if (!ValidIndex(index, kSystemStateBitCount))
        return {};
    const SystemStateField& field = kSystemStateFields[index];
    if (systemState & field.mask)
        return {field.label, field.setText, field.setColour};
    return {field.label, field.clearText, field.clearColour};
}

std::string LastKeyText(int lastKey) {
    return lastKey < 0 ? std::string() : std::to_string(lastKey);
}

} // namespace tornu
