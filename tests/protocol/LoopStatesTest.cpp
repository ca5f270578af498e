// The display rules behind the loop and device tables; the texts themselves
// are tables and are not restated here.
#include "protocol/LoopStates.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

TEST(LoopStates, StateOutsideTheTableShowsDashes) {
    for (int state : {0, 16, -1, 0x7FFFFFFF, -0x7FFFFFFF - 1})
        EXPECT_EQ(LoopStateText(state), "-----------") << state;
    EXPECT_EQ(LoopStateText(9), "На охране, норма");
}

TEST(LoopStates, TypeBoxesKeepTheFiveKnownBits) {
    for (int type = 0; type <= kLoopTypeKnownMask; ++type)
        EXPECT_EQ(LoopTypeFromBoxes(LoopTypeBoxes(type)), type);
    EXPECT_EQ(LoopTypeFromBoxes(LoopTypeBoxes(0x40 | kLoopDelay)), kLoopDelay);
    EXPECT_EQ(LoopTypeMark(5, 2), "X");
    EXPECT_EQ(LoopTypeMark(5, 1), "");
    EXPECT_EQ(LoopTypeMark(31, 5), "");
    EXPECT_EQ(LoopTypeMark(31, -1), "");
}

TEST(LoopStates, FireAndAutoArmExcludeEachOther) {
    using Boxes = std::array<bool, kLoopTypeBitCount>;
    EXPECT_FALSE(LoopTypeBoxEnabled(Boxes{true, false, false, false, false}, 2));
    EXPECT_TRUE(LoopTypeBoxEnabled(Boxes{true, false, false, false, false}, 1));
    EXPECT_FALSE(LoopTypeBoxEnabled(Boxes{false, false, true, false, false}, 0));
    // A read-back may have set both: each stays enabled so it can be unticked.
    EXPECT_TRUE(LoopTypeBoxEnabled(Boxes{true, false, true, false, false}, 0));
    EXPECT_TRUE(LoopTypeBoxEnabled(Boxes{true, false, true, false, false}, 2));
    EXPECT_FALSE(LoopTypeBoxEnabled(Boxes{}, 7));
}

TEST(LoopStates, ListRows) {
    EXPECT_EQ(MakeLoopListRow(7, 3, "Склад, окна", 9, 5),
              (LoopListRow{"  7", "3", "Склад, окна", "На охране, норма", "X", "", "X", "", ""}));
    EXPECT_EQ(MakeLoopListRow(1234, 0, "", 0, 0)[0], "1234");
    EXPECT_EQ(MakeLoopListRow(-5, 0, "", 0, 0)[0], " -5");
}

TEST(LoopStates, SystemStateBitsAndLastKey) {
    // "SYS=1011": bits 0, 2 and 3. Higher bits are ignored.
    EXPECT_EQ(ShowSystemState(13, 1).text, "Снят с охраны");
    EXPECT_EQ(ShowSystemState(13, 1).colour, std::nullopt);
    EXPECT_EQ(ShowSystemState(0x10 | kSystemArmed, 1).colour, kStateGreen);
    EXPECT_EQ(ShowSystemState(0x10 | kSystemArmed, 0).text, "Разряжена");
    EXPECT_EQ(ShowSystemState(0x10 | kSystemArmed, 0).colour, kStateRed);
    EXPECT_EQ(ShowSystemState(15, 0).colour, std::nullopt);
    EXPECT_TRUE(ShowSystemState(15, 4).text.empty());
    EXPECT_TRUE(ShowSystemState(15, -1).label.empty());
    EXPECT_EQ(LastKeyText(-1), "");
    EXPECT_EQ(LastKeyText(14), "14");
}

} // namespace
} // namespace tornu
