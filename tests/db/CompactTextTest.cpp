#include "db/CompactText.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

// Inside up to 15 bytes, on the heap from 16; copies, moves and assignment
// from its own text keep the bytes.
TEST(CompactTextTest, KeepsEveryLengthWhole) {
    EXPECT_EQ(sizeof(CCompactText), 16u);
    for (std::size_t length : {0u, 1u, 14u, 15u, 16u, 17u, 200u}) {
        std::string text(length, 'a');
        for (std::size_t i = 0; i < length; ++i)
            text[i] = static_cast<char>('0' + i % 10);
        CCompactText compact(text);
        EXPECT_EQ(compact.View(), text) << length;
        CCompactText copy(compact);
        CCompactText moved(std::move(copy));
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

} // namespace
} // namespace tornu
