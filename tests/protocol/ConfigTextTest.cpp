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

struct LookupCase {
    const char* label;
    std::string text;
    std::string name;
    bool quoteAware;
    std::optional<std::string> expected; // nullopt: not found
};

class ConfigValueLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(ConfigValueLookup, FindsTheRightValue) {
    const LookupCase& c = GetParam();
    std::string value = "preset";
    const bool found = GetConfigValue(c.text, c.name, value, c.quoteAware);
    EXPECT_EQ(found, c.expected.has_value());
    // A failed lookup leaves the caller's default in place.
    EXPECT_EQ(value, c.expected.value_or("preset"));
}

const LookupCase kLookups[] = {
    {"First", "A=1;B=2;", "A", false, "1"},
    {"LastPairWithoutSemicolon", "A=1;B=2", "B", false, "2"},
    {"FirstMatchWins", "A=1;A=2;", "A", false, "1"},
    {"FirstMatchWinsQuoteAware", "A=1;A=2;", "A", true, "1"},
    {"NameIsSuffixOfEarlierName", "XNAME=1;NAME=2", "NAME", false, "2"},
    {"NameIsPrefixOfEarlierName", "NAMEX=1;NAME=2", "NAME", false, "2"},
    {"NameInsideEarlierValue", "CMNT=NAME=x;NAME=2", "NAME", false, "2"},
    {"CaseSensitive", "name=1;NAME=2", "NAME", false, "2"},
    {"CaseSensitiveMissing", "name=1", "NAME", false, std::nullopt},
    {"BlanksAroundNameValueKeepsLeadingBlank", " NAME = x;", "NAME", false, " x"},
    {"AllWhiteSpaceAroundName", "\r\n\t\v\fA\t=v", "A", false, "v"},
    {"ValueHoldsEquals", "EXPR=VAL*2=3;", "EXPR", false, "VAL*2=3"},
    {"EmptyValue", "A=;B=2", "A", false, ""},
    {"EmptyValueAtEnd", "A=1;B=", "B", false, ""},
    {"PairsWithoutEqualsSkipped", "junk;;A=1", "A", false, "1"},
    {"PairWithoutEqualsIsNoName", "A;B=2", "A", false, std::nullopt},
    {"EmptyText", "", "A", false, std::nullopt},
    {"OnlySeparators", ";;;", "A", false, std::nullopt},
    {"Cyrillic", "NAME=Сетевой модуль B;DSCNT=8", "NAME", false, "Сетевой модуль B"},
    {"CyrillicName", "ИМЯ=1;Имя=2", "Имя", false, "2"},
    {"PlainSplitsInsideQuotes", "NAME=\"a;b\";X=1", "NAME", false, "\"a"},
    {"QuoteAwareKeepsQuotedSemicolon", "NAME=\"a;b\";X=1", "NAME", true, "\"a;b\""},
    {"QuoteAwareFindsPairAfterQuotes", "NAME=\"a;b\";X=1", "X", true, "1"},
    {"EscapedQuoteDoesNotClose", "D=\"say \\\"hi;\\\" now\";E=5", "D", true,
     "\"say \\\"hi;\\\" now\""},
    {"PairAfterEscapedQuotes", "D=\"say \\\"hi;\\\" now\";E=5", "E", true, "5"},
    {"BackslashBeforeOpeningQuoteStillOpens", "A=\\\"x;y\";B=1", "A", true, "\\\"x;y\""},
    {"QuotedPairAtEndWithoutSemicolon", "A=1;B=\"x;y\"", "B", true, "\"x;y\""},
    {"UnclosedQuoteLosesLastPair", "A=1;B=\"x;y", "B", true, std::nullopt},
    {"UnclosedQuoteWithoutSemicolon", "A=1;B=\"x", "B", true, std::nullopt},
    {"UnclosedQuoteKeepsEarlierPairs", "A=1;B=\"x;y", "A", true, "1"},
    {"UnclosedQuoteSwallowsTheRest", "B=\"x;C=3", "C", true, std::nullopt},
    {"PlainIgnoresUnclosedQuote", "B=\"x;C=3", "C", false, "3"},
    {"PlainKeepsUnclosedQuoteInValue", "A=1;B=\"x", "B", false, "\"x"},
};

INSTANTIATE_TEST_SUITE_P(ConfigText, ConfigValueLookup, testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ConfigText, LineValues) {
    const std::string text = "Server = host \r\nDatabase=cfg\r\nServer=other\nUser= Иван \r\n";
    std::string value = "preset";
    EXPECT_TRUE(GetLineValue(text, "Server", value));
    EXPECT_EQ(value, "host");
    EXPECT_TRUE(GetLineValue(text, "Database", value));
    EXPECT_EQ(value, "cfg");
    EXPECT_TRUE(GetLineValue(text, "User", value)); // after a bare LF
    EXPECT_EQ(value, "Иван");
    value = "preset";
    EXPECT_FALSE(GetLineValue(text, "Data", value));
    EXPECT_FALSE(GetLineValue("", "Server", value));
    EXPECT_EQ(value, "preset");
}

struct SplitCase {
    const char* label;
    std::string text;
    Strings expected;
};

class ListSplitting : public testing::TestWithParam<SplitCase> {};
TEST_P(ListSplitting, Items) {
    EXPECT_EQ(SplitList(GetParam().text), GetParam().expected);
}

const SplitCase kLists[] = {
    {"Empty", "", {}},
    {"One", "Delay", {"Delay"}},
    {"LeadingComma", ",a", {"", "a"}},
    {"DoubleComma", "a,,b", {"a", "", "b"}},
    {"TrailingCommaAddsNothing", "a,", {"a"}},
    {"OnlyComma", ",", {""}},
    {"TwoTrailingCommas", "a,b,,", {"a", "b", ""}},
    {"NotTrimmed", " a , b", {" a ", " b"}},
    {"LinesAreNotSeparators", "a\r\nb", {"a\r\nb"}},
};

INSTANTIATE_TEST_SUITE_P(ConfigText, ListSplitting, testing::ValuesIn(kLists),
                         [](const auto& info) { return std::string(info.param.label); });

class LineSplitting : public testing::TestWithParam<SplitCase> {};
TEST_P(LineSplitting, Lines) {
    EXPECT_EQ(SplitLines(GetParam().text), GetParam().expected);
}

const SplitCase kLines[] = {
    {"Empty", "", {}},
    {"Two", "a\r\nb", {"a", "b"}},
    {"TrailingLineEndAddsNothing", "a\r\n", {"a"}},
    {"LeadingEmptyLine", "\r\na", {"", "a"}},
    {"EmptyLineInside", "a\r\n\r\nb", {"a", "", "b"}},
    {"BareLineFeed", "a\nb\n", {"a", "b"}},
    {"MixedLineEnds", "a\nb\r\nc", {"a", "b", "c"}},
    {"LoneCarriageReturnStays", "a\rb", {"a\rb"}},
    {"CarriageReturnAtEndStays", "a\r", {"a\r"}},
    {"KeyListLines", "1234,Иванов\r\n,Петров\r\n", {"1234,Иванов", ",Петров"}},
};

INSTANTIATE_TEST_SUITE_P(ConfigText, LineSplitting, testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.label); });

struct FieldCase {
    const char* label;
    std::string text;
    std::size_t index;
    bool toEnd;
    std::optional<std::string> expected;
};

class FieldExtraction : public testing::TestWithParam<FieldCase> {};

TEST_P(FieldExtraction, Field) {
    const FieldCase& c = GetParam();
    std::string field = "preset";
    EXPECT_EQ(GetField(c.text, '=', c.index, c.toEnd, field), c.expected.has_value());
    EXPECT_EQ(field, c.expected.value_or("preset"));
}

const FieldCase kFields[] = {
    {"NameOfPair", "a=b", 0, false, "a"},
    {"ValueOfPair", "a=b", 1, false, "b"},
    {"TooFewSeparators", "a=b", 2, false, std::nullopt},
    {"EmptyTextHasNoFieldZero", "", 0, false, std::nullopt},
    {"FieldZeroWithoutSeparator", "abc", 0, false, "abc"},
    {"FieldOneWithoutSeparator", "abc", 1, false, std::nullopt},
    {"MiddleField", "a=b=c", 1, false, "b"},
    {"ToEnd", "a=b=c", 1, true, "b=c"},
    {"ToEndFromZero", "a=b=c", 0, true, "a=b=c"},
    {"EmptyFieldsAroundSeparator", "=", 1, false, ""},
    {"EmptyLastField", "a=", 1, false, ""},
    {"LoopEntry", "S3=4(1,2,0,0)", 1, false, "4(1,2,0,0)"},
};

INSTANTIATE_TEST_SUITE_P(ConfigText, FieldExtraction, testing::ValuesIn(kFields),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ConfigText, Trimming) {
    std::string text = " \t\r\n\v\fa b \r\n";
    TrimText(text);
    EXPECT_EQ(text, "a b");
    text = " \t ";
    TrimText(text);
    EXPECT_EQ(text, "");
    // Only bytes 9 to 13 and the blank count: a no-break space stays.
    text = "\xC2\xA0x ";
    TrimText(text);
    EXPECT_EQ(text, "\xC2\xA0x");
    EXPECT_EQ(TrimmedText("  Ключ\t"), "Ключ");
    EXPECT_EQ(TrimmedText(""), "");
}

struct IntegerCase {
    const char* label;
    std::string text;
    std::optional<std::int32_t> expected;
};

class IntegerParsing : public testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerParsing, Value) {
    const IntegerCase& c = GetParam();
    std::int32_t value = 12345;
    EXPECT_EQ(ParseInteger(c.text, value), c.expected.has_value());
    EXPECT_EQ(value, c.expected.value_or(12345));
}

const IntegerCase kIntegers[] = {
    {"Zero", "0", 0},
    {"Negative", "-17", -17},
    {"Trimmed", " \t42\r\n", 42},
    {"LoneMinusIsZero", "-", 0},
    {"LeadingZeros", "00000000000000000000012", 12},
    {"Largest", "2147483647", std::numeric_limits<std::int32_t>::max()},
    {"Smallest", "-2147483648", std::numeric_limits<std::int32_t>::min()},
    {"OneAboveLargest", "2147483648", std::nullopt},
    {"OneBelowSmallest", "-2147483649", std::nullopt},
    {"FarTooLarge", "99999999999999999999999", std::nullopt},
    {"Empty", "", std::nullopt},
    {"OnlyBlanks", "   ", std::nullopt},
    {"PlusSign", "+1", std::nullopt},
    {"BlankInside", "1 2", std::nullopt},
    {"DoubleMinus", "--1", std::nullopt},
    {"TrailingMinus", "1-", std::nullopt},
    {"HexPrefix", "0x10", std::nullopt},
    {"Fraction", "1.0", std::nullopt},
    {"NonAsciiDigit", "\xD9\xA3", std::nullopt}, // Arabic-Indic three
};

INSTANTIATE_TEST_SUITE_P(ConfigText, IntegerParsing, testing::ValuesIn(kIntegers),
                         [](const auto& info) { return std::string(info.param.label); });

struct NumberCase {
    const char* label;
    std::string text;
    std::optional<double> expected;
};

class NumberParsing : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberParsing, Value) {
    const NumberCase& c = GetParam();
    double value = 99.5;
    EXPECT_EQ(ParseNumber(c.text, value), c.expected.has_value());
    EXPECT_DOUBLE_EQ(value, c.expected.value_or(99.5));
}

const NumberCase kNumbers[] = {
    {"Fraction", "1.5", 1.5},
    {"Negative", "-2.25", -2.25},
    {"Integer", "7", 7.0},
    {"Trimmed", "  3.0\r\n", 3.0},
    {"NoWholePart", ".5", 0.5},
    {"NoFraction", "5.", 5.0},
    {"LoneDot", ".", 0.0},
    {"MinusDot", "-.", 0.0},
    {"LoneMinus", "-", 0.0},
    {"NearLargest", "1" + std::string(308, '0'), 1e308},
    {"TooLarge", "1" + std::string(400, '0'), std::nullopt},
    {"TooLargeWithFraction", "-1" + std::string(400, '0') + ".5", std::nullopt},
    {"TooSmallIsZero", "0." + std::string(400, '0') + "1", 0.0},
    {"TwoDots", "1.2.3", std::nullopt},
    {"Exponent", "1e5", std::nullopt},
    {"PlusSign", "+1", std::nullopt},
    {"Comma", "1,5", std::nullopt},
    {"MinusInside", "1-2", std::nullopt},
    {"Empty", "", std::nullopt},
    {"Infinity", "inf", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(ConfigText, NumberParsing, testing::ValuesIn(kNumbers),
                         [](const auto& info) { return std::string(info.param.label); });

struct HexCase {
    const char* label;
    std::string text;
    std::optional<std::uint32_t> expected;
};

class HexParsing : public testing::TestWithParam<HexCase> {};

TEST_P(HexParsing, Value) {
    const HexCase& c = GetParam();
    std::uint32_t value = 7;
    EXPECT_EQ(ParseHex(c.text, value), c.expected.has_value());
    EXPECT_EQ(value, c.expected.value_or(7));
}

const HexCase kHex[] = {
    {"Zero", "0", 0u},
    {"UpperCase", "FF", 255u},
    {"LowerCase", "ff", 255u},
    {"MixedCase", "DeadBeef", 0xDEADBEEFu},
    {"NineDigitsKeepLastEight", "123456789", 0x23456789u},
    {"AllOnes", "FFFFFFFFF", 0xFFFFFFFFu},
    {"Empty", "", std::nullopt},
    {"NotHex", "G", std::nullopt},
    {"BadDigitBeyondEight", "G12345678", std::nullopt},
    {"Blank", " 1", std::nullopt},
    {"Prefix", "0x1", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(ConfigText, HexParsing, testing::ValuesIn(kHex),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ConfigText, HexByteIsUpperCase) {
    EXPECT_EQ(HexByte(0x00), "00");
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(HexByte(0x9C), "9C");
    EXPECT_EQ(HexByte(0xFF), "FF");
}

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

TEST(ConfigTextFiles, EveryByteRoundTrips) {
    TempDir dir;
    WriteBytes(dir / "in.bin", AllBytes());
    std::string hex;
    ASSERT_TRUE(ReadFileAsHex(dir / "in.bin", hex, 64000));
    ASSERT_EQ(hex.size(), 512u);
    EXPECT_EQ(hex.substr(0, 8), "00010203");
    EXPECT_EQ(hex.substr(504), "FCFDFEFF");
    ASSERT_TRUE(WriteHexToFile(dir / "out.bin", hex));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), AllBytes());
}

TEST(ConfigTextFiles, SizeLimit) {
    TempDir dir;
    WriteBytes(dir / "limit.bin", std::string(64000, '\x5A'));
    WriteBytes(dir / "over.bin", std::string(64001, '\x5A'));
    WriteBytes(dir / "empty.bin", "");
    std::string hex = "preset";
    ASSERT_TRUE(ReadFileAsHex(dir / "limit.bin", hex, 64000));
    ASSERT_EQ(hex.size(), 128000u);
    EXPECT_EQ(hex.substr(0, 4), "5A5A");
    EXPECT_EQ(hex.find_first_not_of("5A"), std::string::npos);
    hex = "preset";
    EXPECT_FALSE(ReadFileAsHex(dir / "over.bin", hex, 64000));
    EXPECT_EQ(hex, "preset");
    EXPECT_TRUE(ReadFileAsHex(dir / "empty.bin", hex, 0));
    EXPECT_EQ(hex, "");
    EXPECT_TRUE(ReadFileAsHex(dir / "over.bin", hex, std::numeric_limits<std::size_t>::max()));
    EXPECT_EQ(hex.size(), 128002u);
}

TEST(ConfigTextFiles, UnreadableFiles) {
    TempDir dir;
    std::string hex = "preset";
    EXPECT_FALSE(ReadFileAsHex(dir / "missing.bin", hex, 64000));
    EXPECT_FALSE(ReadFileAsHex(dir.Path().string(), hex, 64000)); // a directory
    EXPECT_EQ(hex, "preset");
}

TEST(ConfigTextFiles, WriteAcceptsLowerCaseAndDropsOddDigit) {
    TempDir dir;
    ASSERT_TRUE(WriteHexToFile(dir / "out.bin", "0aff414"));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), "\x0A\xFF\x41");
}

TEST(ConfigTextFiles, WriteReplacesEarlierContent) {
    TempDir dir;
    WriteBytes(dir / "out.bin", "old content");
    ASSERT_TRUE(WriteHexToFile(dir / "out.bin", "4F4B"));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), "OK");
    ASSERT_TRUE(WriteHexToFile(dir / "out.bin", ""));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), "");
}

TEST(ConfigTextFiles, BadHexLeavesTheFileAlone) {
    TempDir dir;
    WriteBytes(dir / "out.bin", "old content");
    EXPECT_FALSE(WriteHexToFile(dir / "out.bin", "4142ZZ43"));
    EXPECT_FALSE(WriteHexToFile(dir / "out.bin", "41 2"));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), "old content");
}

TEST(ConfigTextFiles, WriteFailsWhenTheFileCannotBeCreated) {
    TempDir dir;
    EXPECT_FALSE(WriteHexToFile(dir / "no-such-dir/out.bin", "41"));
    EXPECT_FALSE(WriteHexToFile(dir.Path().string(), "41"));
}

} // namespace
