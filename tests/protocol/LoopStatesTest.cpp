#include "protocol/LoopStates.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

TEST(LoopStates, UnknownStatesTypeMarksAndTheDialogsBits) {
    EXPECT_EQ(LoopStateText(15), "Снят с охраны");
    for (int state : {0, 16, -1, 0x7FFFFFFF, -0x7FFFFFFF - 1})
        EXPECT_EQ(LoopStateText(state), "-----------") << state;
    std::string marks;
    for (int i = -1; i <= kLoopTypeBitCount; ++i)
        (marks += '[').append(LoopTypeMark(5, i)).append(LoopTypeMark(31, i)) += ']';
    EXPECT_EQ(marks, "[][XX][X][XX][X][X][]");
    // The dialog's boxes give back the known bits and drop the others.
    EXPECT_EQ(LoopTypeFromBoxes(LoopTypeBoxes(0x40 | kLoopDelay)), kLoopDelay);
    for (int type = 0; type <= kLoopTypeKnownMask; ++type)
        EXPECT_EQ(LoopTypeFromBoxes(LoopTypeBoxes(type)), type);
}

} // namespace
} // namespace tornu
