#include "settings/Encoding.h"

#include <gtest/gtest.h>

using namespace tornu;

TEST(Encoding, EveryByteSurvivesARoundTrip) {
    EXPECT_EQ(Utf8ToCp1251("Ёё №5 «ключ» €"), "\xA8\xB8 \xB9"
                                              "5 \xAB\xEA\xEB\xFE\xF7\xBB \x88");
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = Cp1251ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8Length(utf8), 256u);
    EXPECT_EQ(Utf8ToCp1251(utf8), all);
}

TEST(Encoding, UnmappableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b");                                      // CJK character
    EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");      // emoji
    EXPECT_EQ(Utf8ToCp1251("x\xC0\xAFy"), "x??y");         // overlong '/'
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");        // surrogate
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");                  // truncated
    EXPECT_FALSE(IsValidUtf8("\xCF\xE0\xF0\xEE\xEB\xFC")); // Windows-1251
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));
    EXPECT_FALSE(HasNonAscii("ascii only"));
    EXPECT_TRUE(HasNonAscii("ё"));
    EXPECT_EQ(Utf8Prefix("Раздел", 3), "Раз");
    EXPECT_EQ(Utf8Prefix("ab", 10), "ab");
    EXPECT_TRUE(ContainsIgnoringCase("Параметр DLYIN", "пАРАМЕТР dlyin"));
    EXPECT_TRUE(ContainsIgnoringCase("ЁЛКА", "ёлка"));
    EXPECT_TRUE(ContainsIgnoringCase("x", ""));
    EXPECT_FALSE(ContainsIgnoringCase("Склад", "скл ад"));
    EXPECT_FALSE(ContainsIgnoringCase("\xC0", "\xE0")); // malformed bytes are no letters
}
