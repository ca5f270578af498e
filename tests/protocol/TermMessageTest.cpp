#include "protocol/TermMessage.h"
#include "protocol/Crc8.h"

#include <gtest/gtest.h>

#include <string>

using namespace tornu;

TEST(Crc8, DallasMaximCheckValues) {
    EXPECT_EQ(Crc8("123456789"), 0xA1);
    EXPECT_EQ(Crc8("001202000239"), 0xB1);
    EXPECT_EQ(Crc8(""), 0x00);
    EXPECT_EQ(Crc8(nullptr, 5), 0x00);
    const unsigned char bytes[] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(Crc8(bytes, sizeof bytes), 0xA2); // a 1-Wire ROM code and its family CRC
}

struct BuildCase {
    const char* name;
    int number;
    int code;
    std::string data; // UTF-8
    bool ok;
    std::string text; // as sent, Windows-1251
};

class TermMessageBuild : public testing::TestWithParam<BuildCase> {};

TEST_P(TermMessageBuild, GivesTheLineText) {
    const BuildCase& c = GetParam();
    CTermMessage message(c.number, c.code, c.data);
    std::string text = "untouched";
    EXPECT_EQ(message.BuildText(text), c.ok);
    EXPECT_EQ(text, c.ok ? c.text : "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TermMessageBuild,
    testing::Values(BuildCase{"Closing", 12, 2, "39", true, "001202000239"},
                    BuildCase{"NumberZeroEmptyData", 0, 4, "", true, "0000040000"},
                    BuildCase{"LargestDecimalNumber", 9999, 6, "", true, "9999060000"},
                    BuildCase{"HexNumber", 10000, 4, "12345678", true, "H271004000812345678"},
                    BuildCase{"LargestNumber", 65535, 1, "", true, "HFFFF010000"},
                    BuildCase{"CodeAbove99Widens", 1, 100, "x", true, "00011000001x"},
                    BuildCase{"CyrillicCountsBytesSent", 10000, 4, "Тест", true,
                              "H2710040004\xD2\xE5\xF1\xF2"},
                    BuildCase{"NumberTooLarge", 65536, 4, "", false, ""},
                    BuildCase{"NoNumber", -1, 4, "", false, ""},
                    BuildCase{"NoCode", 12, -1, "", false, ""},
                    BuildCase{"NegativeNumber", -5, 4, "", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TermMessage, LongDataWidensTheLengthField) {
    CTermMessage message(12, 9, std::string(10000, 'A'));
    std::string text;
    ASSERT_TRUE(message.BuildText(text));
    EXPECT_EQ(text.substr(0, 11), "00120910000");
    EXPECT_EQ(text.size(), 11u + 10000u);
}

struct ReadCase {
    const char* name;
    std::string text; // as received, Windows-1251
    bool ok;
    int number;
    int code;
    std::string data; // UTF-8
};

class TermMessageRead : public testing::TestWithParam<ReadCase> {};

TEST_P(TermMessageRead, ReadsOrRefuses) {
    const ReadCase& c = GetParam();
    CTermMessage message(7, 8, "before");
    EXPECT_EQ(message.ReadText(c.text), c.ok);
    if (c.ok) {
        EXPECT_EQ(message.GetNumber(), c.number);
        EXPECT_EQ(message.GetCode(), c.code);
        EXPECT_EQ(message.GetData(), c.data);
    } else { // a refused text leaves the message as it was
        EXPECT_EQ(message.GetNumber(), 7);
        EXPECT_EQ(message.GetCode(), 8);
        EXPECT_EQ(message.GetData(), "before");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TermMessageRead,
    testing::Values(ReadCase{"LoginAccepted", "0012060000", true, 12, 6, ""},
                    ReadCase{"ErrorReply",
                             "0012700002"
                             "17",
                             true, 12, 70, "17"},
                    ReadCase{"HexNumber", "H2710040004abcd", true, 10000, 4, "abcd"},
                    ReadCase{"LowerCaseHex", "Hffff010000", true, 65535, 1, ""},
                    ReadCase{"LengthNotCompared", "0012060099abc", true, 12, 6, "abc"},
                    ReadCase{"CyrillicData", "0001040004\xD2\xE5\xF1\xF2", true, 1, 4, "Тест"},
                    ReadCase{"LenientDecimal", "12ab0 0003xyz", true, 12, 0, "xyz"},
                    ReadCase{"Empty", "", false, 0, 0, ""},
                    ReadCase{"NineCharacters", "001206000", false, 0, 0, ""},
                    ReadCase{"HexTextOfTen", "H271006000", false, 0, 0, ""},
                    ReadCase{"BadHexDigit", "H27G0060000", false, 0, 0, ""},
                    ReadCase{"HexWithSign", "H-001060000", false, 0, 0, ""},
                    ReadCase{"NegativeNumber", "-001060000", false, 0, 0, ""},
                    ReadCase{"NegativeCode", "0012-10000", false, 0, 0, ""},
                    ReadCase{"NegativeLength", "001206-001", false, 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TermMessage, TextRoundTrip) {
    for (int number : {0, 12, 9999, 10000, 54321, 65535}) {
        CTermMessage sent(number, 39, "RZD=1;PASS=Пароль;");
        std::string text;
        ASSERT_TRUE(sent.BuildText(text));
        CTermMessage received;
        ASSERT_TRUE(received.ReadText(text)) << text;
        EXPECT_EQ(received.GetNumber(), number);
        EXPECT_EQ(received.GetCode(), 39);
        EXPECT_EQ(received.GetData(), sent.GetData());
    }
}
