#include "protocol/LoopConfigText.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

TEST(LoopConfigText, SplitsAtCommasBeforeLettersAndParsesEntries) {
    EXPECT_EQ(SplitLoopConfiguration("M1=2(1,0,),S5=1(16,),"),
              (std::vector<std::string>{"M1=2(1,0,)", "S5=1(16,)"}));
    EXPECT_EQ(SplitLoopConfiguration("M1=2(5,6,),RK7=0(),M2=0()"),
              (std::vector<std::string>{"M1=2(5,6,)", "RK7=0()", "M2=0()"}));
    EXPECT_TRUE(SplitLoopConfiguration("").empty());

    const struct {
        const char* line;
        bool ok;
        LoopEntry entry;
    } cases[] = {
        {"M1=2(5,6,)", true, {1, {5, 6}}},
        {"RK7=1(3,)", true, {7, {3}}},
        {"M1=3(5,6,)", false, {}}, // count mismatch
        {"M=1(1,)", false, {}},
        {"M1=()", false, {}},
        {"M1=2 5,6,)", false, {}},
        {"M1=2(5,6,", false, {}},
    };
    for (const auto& c : cases) {
        LoopEntry entry;
        ASSERT_EQ(ParseLoopEntry(c.line, entry), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(entry, c.entry) << c.line;
        }
    }
}

} // namespace
} // namespace tornu
