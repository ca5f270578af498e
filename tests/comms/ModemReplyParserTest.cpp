#include "comms/ModemReplyParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tornu;

namespace {

// Every line the parser completes, as "A<code>[text]" for an answer and
// "I<code>[text]" for an info line, in the order they were completed.
std::vector<std::string> FeedAll(CModemReplyParser& parser, const std::string& bytes) {
    std::vector<std::string> events;
    for (char c : bytes) {
        parser.Feed(static_cast<unsigned char>(c));
        int answer = parser.TakeAnswerCode();
        if (answer != CModemReplyParser::kNone)
            events.push_back("A" + std::to_string(answer) + "[" + parser.Answer() + "]");
        int info = parser.TakeInfoCode();
        if (info != CModemReplyParser::kNone)
            events.push_back("I" + std::to_string(info) + "[" + parser.Info() + "]");
    }
    return events;
}

struct ReplyCase {
    const char* name;
    std::string bytes; // modem output after a command, fed one byte at a time
    std::vector<std::string> expected;
};

const std::string kCmglHeader = "+CMGL: 1,\"REC READ\",\"+79161234567\",,\"24/01/02,12:34:56+12\"";

const std::vector<ReplyCase> kCases = {
    {"OK", "\r\nOK\r\n", {"A0[OK]"}},
    {"ConnectWithSpeed", "\r\nCONNECT 9600\r\n", {"A1[CONNECT 9600]"}},
    {"NoCarrier", "\r\nNO CARRIER\r\n", {"A3[NO CARRIER]"}},
    {"UnknownLines", "\r\n+++ATH\r\n\r\nHELLO 1\r\n", {"I-1[+++ATH\r\n]", "A-1[HELLO 1]"}},
    {"PrefixMatchKeepsWholeText", "\r\nOKAY\r\n", {"A0[OKAY]"}},
    {"PromptThenResult",
     "\r\n> \r\n+CMGS: 12\r\n\r\nOK\r\n",
     {"A10[>]", "I-1[+CMGS: 12\r\n]", "A0[OK]"}},
    {"CregKeepsItsBreaks", "\r\n+CREG: 1\r\n", {"I2[+CREG: 1\r\n]"}},
    {"CmglWithTextLine",
     "\r\n" + kCmglHeader + "\r\nHello: world\r\n\r\nOK\r\n",
     {"I0[" + kCmglHeader + "\r\nHello: world\r\n]", "A0[OK]"}},
    {"RingWithClip",
     "\r\nRING\r\n\r\n+CLIP: \"+79161234567\",145,,,,0\r\n",
     {"A2[RING]", "I1[+CLIP: \"+79161234567\",145,,,,0\r\n]"}},
    {"Cusd",
     "\r\n+CUSD: 0,\"Balance 10\",15\r\n\r\nOK\r\n",
     {"I4[+CUSD: 0,\"Balance 10\",15\r\n]", "A0[OK]"}},
    {"GarbageThenReply", std::string("\x01\xff\x00noise", 8) + "\r\n\r\nOK\r\n", {"A0[OK]"}},
    {"BreakInsideResultLineIsDropped", "\r\nNO\rCARRIER\r\n", {"A-1[NOCARRIER]"}},
    // Echo must be off: the echoed command's CR makes an odd run of breaks
    // before the reply, and the reply line is taken for noise.
    {"EchoedCommandSwallowsReply", "at\r\r\nOK\r\n", {}},
};

class ModemReplyParserCases : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ModemReplyParserCases, FedByteByByte) {
    CModemReplyParser parser;
    EXPECT_EQ(FeedAll(parser, GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(RealOutput, ModemReplyParserCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace


TEST(ModemReplyParser, ResetDropsAHalfLineAndWaitsForBreaks) {
    CModemReplyParser parser;
    FeedAll(parser, "\r\nNO CARR");
    parser.Reset();
    EXPECT_TRUE(FeedAll(parser, "IER\r\n").empty());
    EXPECT_EQ(FeedAll(parser, "\r\nOK\r\n"), std::vector<std::string>{"A0[OK]"});
}
