#include "protocol/TermMessage.h"
#include "protocol/Crc8.h"

#include <gtest/gtest.h>

#include <string>

using namespace tornu;

TEST(Crc8, DallasMaximCheckValues) {
    EXPECT_EQ(Crc8("123456789"), 0xA1);
    EXPECT_EQ(Crc8("001202000239"), 0xB1);
    EXPECT_EQ(Crc8(nullptr, 5), 0x00);
    const unsigned char bytes[] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(Crc8(bytes, sizeof bytes), 0xA2); // a 1-Wire ROM code and its family CRC
}

TEST(TermMessage, BuildsTheLineText) {
    const struct {
        int number;
        int code;
        std::string data; // UTF-8
        const char* text; // as sent, Windows-1251; nullptr: refused
    } cases[] = {
        {12, 2, "39", "001202000239"},
        {0, 0, "", "0000000000"},
        {9999, 99, "", "9999990000"}, // the widest plain header
        {10000, 4, "12345678", "H271004000812345678"},
        {65535, 1, "", "HFFFF010000"},
        {1, 100, "x", "00011000001x"}, // a code above 99 widens
        {10000, 4, "Тест", "H2710040004\xD2\xE5\xF1\xF2"},
        {65536, 4, "", nullptr},
        {12, -1, "", nullptr},
    };
    for (const auto& c : cases) {
        std::string text = "untouched";
        EXPECT_EQ(CTermMessage(c.number, c.code, c.data).BuildText(text), c.text != nullptr)
            << c.number << "/" << c.code;
        EXPECT_EQ(text, c.text ? c.text : "untouched");
    }
    std::string text;
    ASSERT_TRUE(CTermMessage(12, 9, std::string(10000, 'A')).BuildText(text));
    EXPECT_EQ(text.substr(0, 11), "00120910000"); // long data widens the length field
    CTermMessage read; // and the reading side takes it as wide as it was written
    ASSERT_TRUE(read.ReadText(text));
    EXPECT_EQ(read.GetData().size(), 10000u);
}

TEST(TermMessage, ReadsOrRefusesTheLineText) {
    const struct {
        std::string text; // as received, Windows-1251
        bool ok;
        int number;
        int code;
        std::string data; // UTF-8
    } cases[] = {
        {"001270000217", true, 12, 70, "17"},
        {"0001040004\xD2\xE5\xF1\xF2", true, 1, 4, "Тест"},
        {"12ab0 0003xyz", true, 12, 0, "xyz"}, // decimal fields are lenient
        {"001206000", false, 0, 0, ""},
        {"H271006000", false, 0, 0, ""},
        {"H27G0060000", false, 0, 0, ""},
        {"0012-10000", false, 0, 0, ""},
        {"H-001060000", false, 0, 0, ""},
        {"001206-001", false, 0, 0, ""},
    };
    for (const auto& c : cases) {
        CTermMessage message(7, 8, "before");
        EXPECT_EQ(message.ReadText(c.text), c.ok) << c.text;
        // A refused text leaves the message as it was.
        EXPECT_EQ(message.GetNumber(), c.ok ? c.number : 7) << c.text;
        EXPECT_EQ(message.GetCode(), c.ok ? c.code : 8) << c.text;
        EXPECT_EQ(message.GetData(), c.ok ? c.data : "before") << c.text;
    }
    for (int number : {0, 9999, 10000, 65535}) {
        CTermMessage sent(number, 39, "RZD=1;PASS=Пароль;");
        std::string text;
        ASSERT_TRUE(sent.BuildText(text));
        CTermMessage received;
        ASSERT_TRUE(received.ReadText(text)) << text;
        EXPECT_EQ(received.GetNumber(), number);
        EXPECT_EQ(received.GetData(), sent.GetData());
    }
}
