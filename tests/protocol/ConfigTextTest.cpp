#include "protocol/ConfigText.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace tornu;
using tornu::test::ReadBytes;
using tornu::test::TempDir;
using tornu::test::WriteBytes;

namespace {

using Strings = std::vector<std::string>;
constexpr std::optional<std::string> kNone = std::nullopt;

TEST(ConfigText, ValueLookup) {
    const struct {
        std::string text;
        std::string name;
        bool quoteAware;
        std::optional<std::string> expected; // nullopt: not found
    } cases[] = {
        {"A=1;A=2;", "A", false, "1"},
        {" NAME = x;", "NAME", false, " x"},
        {"EXPR=VAL*2=3;", "EXPR", false, "VAL*2=3"},
        {"A;B=2", "A", false, kNone},
        {"NAME=\"a;b\";X=1", "NAME", false, "\"a"},
        {"NAME=\"a;b\";X=1", "NAME", true, "\"a;b\""},
        {"D=\"say \\\"hi;\\\" now\";E=5", "D", true, "\"say \\\"hi;\\\" now\""},
        {"A=1;B=\"x;y", "B", true, kNone}, // an unclosed quote loses the last pair
        {"B=\"x;C=3", "C", true, kNone},
    };
    for (const auto& c : cases) {
        std::string value = "preset";
        EXPECT_EQ(GetConfigValue(c.text, c.name, value, c.quoteAware), c.expected.has_value())
            << c.text << " " << c.name;
        EXPECT_EQ(value, c.expected.value_or("preset")) << c.text << " " << c.name;
    }
}

TEST(ConfigText, ListsLinesAndFields) {
    const std::pair<std::string, Strings> lists[] = {
        {"", {}}, {"a,,b", {"a", "", "b"}}, {"a,", {"a"}}, {",", {""}}, {" a , b", {" a ", " b"}},
    };
    for (const auto& [text, items] : lists)
        EXPECT_EQ(SplitList(text), items) << text;
    const std::pair<std::string, Strings> lines[] = {
        {"", {}},
        {"\r\na\r\n\r\nb", {"", "a", "", "b"}},
        {"a\nb\r\nc\n", {"a", "b", "c"}},
        {"a\rb\r\nc\r", {"a\rb", "c\r"}}, // a lone CR stays
    };
    for (const auto& [text, items] : lines)
        EXPECT_EQ(SplitLines(text), items) << text;
    const struct {
        std::string text;
        std::size_t index;
        bool toEnd;
        std::optional<std::string> expected;
    } fields[] = {
        {"a=b", 2, false, kNone}, {"abc", 0, false, "abc"}, {"a=b=c", 1, false, "b"},
        {"a=b=c", 1, true, "b=c"}, {"a=", 1, false, ""},
    };
    for (const auto& c : fields) {
        std::string field = "preset";
        EXPECT_EQ(GetField(c.text, '=', c.index, c.toEnd, field), c.expected.has_value())
            << c.text << " " << c.index;
        EXPECT_EQ(field, c.expected.value_or("preset"));
    }
}

TEST(ConfigText, StrictNumbers) {
    const std::pair<std::string, std::optional<std::int32_t>> integers[] = {
        {" \t-17\r\n", -17},
        {"2147483647", std::numeric_limits<std::int32_t>::max()},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},
        {"+1", std::nullopt},
        {"\xD9\xA3", std::nullopt}, // Arabic-Indic three
    };
    for (const auto& [text, expected] : integers) {
        std::int32_t value = 12345;
        EXPECT_EQ(ParseInteger(text, value), expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(12345)) << text;
    }
    const std::pair<std::string, std::optional<double>> numbers[] = {
        {"  -2.25\r\n", -2.25},
        {"", std::nullopt},
        {"1.2.3", std::nullopt},
        {"+1", std::nullopt},
        {"1" + std::string(308, '0'), 1e308},
        {"-1" + std::string(400, '0') + ".5", std::nullopt},
        {"0." + std::string(400, '0') + "1", 0.0},
        {"1e5", std::nullopt},
    };
    for (const auto& [text, expected] : numbers) {
        double value = 99.5;
        EXPECT_EQ(ParseNumber(text, value), expected.has_value()) << text;
        EXPECT_DOUBLE_EQ(value, expected.value_or(99.5)) << text;
    }
    const std::pair<std::string, std::optional<std::uint32_t>> hex[] = {
        {"DeadBeef", 0xDEADBEEFu}, {"123456789", 0x23456789u}, {"", std::nullopt},
        {"G12345678", std::nullopt}, {" 1", std::nullopt},
    };
    for (const auto& [text, expected] : hex) {
        std::uint32_t value = 7;
        EXPECT_EQ(ParseHex(text, value), expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(7)) << text;
    }
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(HexByte(0xFF), "FF");
}

TEST(ConfigTextFiles, EveryByteRoundTripsThroughHexWithinTheLimit) {
    TempDir dir;
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    WriteBytes(dir / "in.bin", all);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(dir / "in.bin", bytes, 256));
    const std::string hex = HexText(bytes);
    EXPECT_EQ(hex.substr(0, 8), "00010203");
    EXPECT_EQ(hex.substr(504), "FCFDFEFF");
    ASSERT_EQ(HexToBytes(hex), all);
    ASSERT_TRUE(WriteFileBytes(dir / "out.bin", all));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), all);

    bytes = "preset";
    EXPECT_FALSE(ReadFileBytes(dir / "in.bin", bytes, 255));
    EXPECT_FALSE(ReadFileBytes(dir / "missing.bin", bytes, 64000));
    EXPECT_FALSE(ReadFileBytes(dir.Path().string(), bytes, 64000)); // a directory
    EXPECT_EQ(bytes, "preset");
    WriteBytes(dir / "empty.bin", "");
    EXPECT_TRUE(ReadFileBytes(dir / "empty.bin", bytes, 0));
    EXPECT_EQ(bytes, "");
    EXPECT_FALSE(WriteFileBytes(dir / "no-such-dir/out.bin", "A"));
    EXPECT_FALSE(WriteFileBytes(dir.Path().string(), "A"));
}

TEST(ConfigTextFiles, HexToBytes) {
    EXPECT_EQ(HexToBytes("4142ZZ43"), std::nullopt);
    EXPECT_EQ(HexToBytes("41 2"), std::nullopt);
    EXPECT_EQ(HexToBytes("0aff414"), "\x0A\xFF\x41"); // an odd digit is dropped
    EXPECT_EQ(HexToBytes(""), "");
}

} // namespace
