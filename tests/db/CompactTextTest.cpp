#include "db/CompactText.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

// Inside up to 14 bytes (22 in 24), on the heap beyond; copies, moves and
// assignment from its own text keep the bytes.
template <class Text> void KeepsEveryLengthWhole() {
    for (std::size_t length : {0u, 1u, 14u, 15u, 16u, 17u, 22u, 23u, 24u, 200u}) {
        std::string text(length, 'a');
        for (std::size_t i = 0; i < length; ++i)
            text[i] = static_cast<char>('0' + i % 10);
        Text compact(text);
        EXPECT_EQ(compact.View(), text) << length;
        Text copy(compact);
        Text moved(std::move(copy));
        EXPECT_EQ(moved.View(), text);
        EXPECT_TRUE(copy.empty());
        copy = moved;
        moved = moved.View().substr(length ? 1 : 0);
        EXPECT_EQ(copy.View(), text);
        EXPECT_EQ(moved.View(), std::string_view(text).substr(length ? 1 : 0));
        moved = std::move(moved);
        EXPECT_EQ(moved.View(), std::string_view(text).substr(length ? 1 : 0));
    }
}

TEST(CompactTextTest, KeepsEveryLengthWhole) {
    EXPECT_EQ(sizeof(CCompactText), 16u);
    KeepsEveryLengthWhole<CCompactText>();
    EXPECT_EQ(sizeof(CBasicCompactText<24>), 24u);
    KeepsEveryLengthWhole<CBasicCompactText<24>>();
}

} // namespace
} // namespace tornu
