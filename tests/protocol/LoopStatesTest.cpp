#include "protocol/LoopStates.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

struct StateCase {
    const char* name;
    int state;
    const char* text;
};

class LoopStateTextTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(LoopStateTextTest, ShowsTheStateText) {
    EXPECT_EQ(LoopStateText(GetParam().state), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    LoopStates, LoopStateTextTest,
    ::testing::Values(
        StateCase{"Unknown", 0, "-----------"},
        StateCase{"DisarmedShort", 1, "Снят, короткое замыкание"}, StateCase{"Normal", 3, "Норма"},
        StateCase{"ArmedNormal", 9, "На охране, норма"},
        StateCase{"FireFault", 10, "Неисправность пожарного ШС"}, StateCase{"Fire", 12, "Пожар"},
        StateCase{"Disarmed", 15, "Снят с охраны"}, StateCase{"JustAboveRange", 16, "-----------"},
        StateCase{"Negative", -1, "-----------"}, StateCase{"Huge", 0x7FFFFFFF, "-----------"},
        StateCase{"MostNegative", -0x7FFFFFFF - 1, "-----------"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoopStateText, EveryKnownStateHasItsOwnText) {
    for (int a = 1; a < kLoopStateCount; ++a)
        for (int b = a + 1; b < kLoopStateCount; ++b)
            EXPECT_NE(LoopStateText(a), LoopStateText(b)) << a << " " << b;
}

TEST(LoopType, FlagsAreTheFiveBitsInOrder) {
    const auto flags = LoopTypeFlags();
    const char* captions[] = {"Пожарный", "Круглосуточный", "Автовзятие", "Задержка", "65 мс"};
    const char* heads[] = {"ПОЖ", "СУТ", "АВТ", "ЗДЖ", "65 мс"};
    for (int i = 0; i < kLoopTypeBitCount; ++i) {
        EXPECT_EQ(flags[i].mask, 1 << i);
        EXPECT_EQ(flags[i].caption, captions[i]);
        EXPECT_EQ(flags[i].columnHead, heads[i]);
    }
}

TEST(LoopType, MarksFollowTheBits) {
    for (int i = 0; i < kLoopTypeBitCount; ++i) {
        EXPECT_EQ(LoopTypeMark(31, i), "X");
        EXPECT_EQ(LoopTypeMark(0, i), "");
    }
    EXPECT_EQ(LoopTypeMark(5, 0), "X");
    EXPECT_EQ(LoopTypeMark(5, 1), "");
    EXPECT_EQ(LoopTypeMark(5, 2), "X");
    EXPECT_EQ(LoopTypeMark(5, 3), "");
    EXPECT_EQ(LoopTypeMark(5, 4), "");
    EXPECT_EQ(LoopTypeMark(31, 5), "");
    EXPECT_EQ(LoopTypeMark(31, -1), "");
}

TEST(LoopType, DialogRebuildDropsHigherBits) {
    EXPECT_EQ(LoopTypeFromBoxes(LoopTypeBoxes(0x3F)), 0x1F);
    EXPECT_EQ(LoopTypeFromBoxes(LoopTypeBoxes(0x40 | kLoopDelay)), kLoopDelay);
    for (int type = 0; type <= kLoopTypeKnownMask; ++type)
        EXPECT_EQ(LoopTypeFromBoxes(LoopTypeBoxes(type)), type);
}

TEST(LoopType, FireAndAutoArmExcludeEachOther) {
    using Boxes = std::array<bool, kLoopTypeBitCount>;
    const Boxes fire{true, false, false, false, false};
    EXPECT_TRUE(LoopTypeBoxEnabled(fire, 0));
    EXPECT_FALSE(LoopTypeBoxEnabled(fire, 2));
    EXPECT_TRUE(LoopTypeBoxEnabled(fire, 1));

    const Boxes autoArm{false, false, true, false, false};
    EXPECT_FALSE(LoopTypeBoxEnabled(autoArm, 0));
    EXPECT_TRUE(LoopTypeBoxEnabled(autoArm, 2));

    // A read-back may have set both: each stays enabled so it can be unticked.
    const Boxes both{true, false, true, false, false};
    EXPECT_TRUE(LoopTypeBoxEnabled(both, 0));
    EXPECT_TRUE(LoopTypeBoxEnabled(both, 2));

    EXPECT_FALSE(LoopTypeBoxEnabled(Boxes{}, 7));
}

TEST(LoopList, ColumnHeadsInOrder) {
    const auto columns = LoopListColumns();
    const char* heads[] = {"Шлейф", "Устр.", "Комментарий", "Состояние", "ПОЖ",
                           "СУТ",   "АВТ",   "ЗДЖ",         "65 мс"};
    for (int i = 0; i < kLoopListColumnCount; ++i)
        EXPECT_EQ(columns[i].head, heads[i]) << i;
    for (int i = 0; i < kLoopTypeBitCount; ++i) {
        EXPECT_EQ(columns[4 + i].head, LoopTypeFlags()[i].columnHead);
        EXPECT_TRUE(columns[4 + i].centred);
    }
    EXPECT_FALSE(columns[2].centred);
}

TEST(LoopList, RowCells) {
    const LoopListRow row = MakeLoopListRow(7, 3, "Склад, окна", 9, 5);
    const LoopListRow expected{"  7", "3", "Склад, окна", "На охране, норма", "X", "", "X", "", ""};
    EXPECT_EQ(row, expected);
}

TEST(LoopList, NumberFormatAndUnknownState) {
    EXPECT_EQ(MakeLoopListRow(128, 0, "", 0, 0)[0], "128");
    EXPECT_EQ(MakeLoopListRow(1234, 0, "", 0, 0)[0], "1234");
    EXPECT_EQ(MakeLoopListRow(-5, 0, "", 0, 0)[0], " -5");
    EXPECT_EQ(MakeLoopListRow(1, 12, "", 42, 31)[3], "-----------");
    const LoopListRow all = MakeLoopListRow(1, 12, "", 42, 31);
    for (int i = 4; i < kLoopListColumnCount; ++i)
        EXPECT_EQ(all[i], "X");
}

struct SystemCase {
    const char* name;
    int state;
    // battery, mode, mains, bus
    std::array<const char*, kSystemStateBitCount> texts;
    std::array<StateColour, kSystemStateBitCount> colours;
};

class SystemStateTest : public ::testing::TestWithParam<SystemCase> {};

TEST_P(SystemStateTest, TextsAndColours) {
    const SystemCase& c = GetParam();
    const char* labels[] = {"Батарея", "Режим", "Сеть 220В", "Шина RS485"};
    for (int i = 0; i < kSystemStateBitCount; ++i) {
        const SystemStateShown shown = ShowSystemState(c.state, i);
        EXPECT_EQ(shown.label, labels[i]) << i;
        EXPECT_EQ(shown.text, c.texts[i]) << i;
        EXPECT_EQ(shown.colour, c.colours[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    SystemStates, SystemStateTest,
    ::testing::Values(SystemCase{"AllClear",
                                 0,
                                 {"Разряжена", "Снят с охраны", "Отсутствует", "Авария"},
                                 {kStateRed, std::nullopt, kStateRed, kStateRed}},
                      SystemCase{"AllSet",
                                 15,
                                 {"Норма", "На охране", "Есть", "Норма"},
                                 {std::nullopt, kStateGreen, std::nullopt, std::nullopt}},
                      // "SYS=1011": bits 0, 2 and 3.
                      SystemCase{"ArmedBitOnlyClear",
                                 13,
                                 {"Норма", "Снят с охраны", "Есть", "Норма"},
                                 {std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
                      SystemCase{"HigherBitsIgnored",
                                 0x10 | kSystemArmed,
                                 {"Разряжена", "На охране", "Отсутствует", "Авария"},
                                 {kStateRed, kStateGreen, kStateRed, kStateRed}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SystemState, ColoursAreExactRgb) {
    EXPECT_EQ(kStateGreen, (Rgb{0, 255, 0}));
    EXPECT_EQ(kStateRed, (Rgb{255, 0, 0}));
}

TEST(SystemState, OutOfRangeFieldShowsNothing) {
    EXPECT_TRUE(ShowSystemState(15, 4).text.empty());
    EXPECT_TRUE(ShowSystemState(15, -1).label.empty());
}

TEST(LastKey, NegativeShowsNothing) {
    EXPECT_EQ(LastKeyText(-1), "");
    EXPECT_EQ(LastKeyText(-100), "");
    EXPECT_EQ(LastKeyText(0), "0");
    EXPECT_EQ(LastKeyText(14), "14");
}

} // namespace
} // namespace tornu
