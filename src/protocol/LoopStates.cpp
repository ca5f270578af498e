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

constexpr std::array<SystemStateField, kSystemStateBitCount> kSystemStateFields{{
    {kSystemBattery, "Батарея", "Норма", StateTone::Plain, "Разряжена", StateTone::Bad},
    {kSystemArmed, "Режим", "На охране", StateTone::Good, "Снят с охраны", StateTone::Plain},
    {kSystemMains, "Сеть 220В", "Есть", StateTone::Plain, "Отсутствует", StateTone::Bad},
    {kSystemBus, "Шина RS485", "Норма", StateTone::Plain, "Авария", StateTone::Bad},
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

std::span<const SystemStateField, kSystemStateBitCount> SystemStateFields() {
    return kSystemStateFields;
}

SystemStateShown ShowSystemState(int systemState, int index) {
    if (!ValidIndex(index, kSystemStateBitCount))
        return {};
    const SystemStateField& field = kSystemStateFields[index];
    if (systemState & field.mask)
        return {field.label, field.setText, field.setTone};
    return {field.label, field.clearText, field.clearTone};
}

std::string LastKeyText(int lastKey) {
    return lastKey < 0 ? std::string() : std::to_string(lastKey);
}

} // namespace tornu
