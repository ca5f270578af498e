// Replies read into values, all or nothing: real replies and malformed ones
// (missing keys, wrong lengths, bad hexadecimal, truncated texts).
#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace tornu {
namespace {

using Params = std::vector<std::pair<std::string, std::string>>;
using Loops = std::vector<std::pair<int, int>>;

DeviceSnapshot Device() {
    DeviceSnapshot d;
    d.terminal = 7;
    d.address = 1;
    d.params = {{"DLYIN", "30", "30", true, true},
                {"MODE", "0", "0", false, true},
                {"TEMP", "700", "700", true, false}};
    d.phones = {{0, "", 0}, {0, "", 0}, {1, "", 0}, {1, "", 0}, {2, "", 0}, {2, "", 0}};
    d.keys.assign(15, "");
    return d;
}

CommandSpec Spec(int code) {
    return {code, CommandKind::Device, {}, 0, std::nullopt, {}};
}

TEST(ReplyReaders, StatusReadsReadableParametersSystemKeyAndLoops) {
    const struct {
        const char* name;
        const char* text;
        Params params;
        std::optional<int> system;
        std::optional<int> key;
        Loops loops;
    } cases[] = {
        {"all", "DLYIN=45;MODE=2;SYS=0110;KEY=3;SHL=0013;", {{"DLYIN", "45"}}, 6, 3, {{1, 3}}},
        {"SYS of four bits", "SYS=1011;", {}, 13, {}, {}},
        {"SYS too short", "SYS=11;", {}, 0, {}, {}},
        {"SYS other characters", "SYS=x1y1;", {}, 10, {}, {}},
        {"KEY beyond range", "KEY=99999999999999999999;", {}, {}, INT_MAX, {}},
        {"SHL truncated group ignored", "SHL=0013002A002;", {}, {}, {}, {{1, 3}, {2, 10}}},
        {"SHL bad digits", "SHL=0x1G003a;", {}, {}, {}, {{0, 0}, {3, 0}}},
        {"as they stand", "TEMP=7'1 ;DLYIN=;", {{"DLYIN", ""}, {"TEMP", "7'1 "}}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StatusReply status = ReadStatusReply(c.text, Device().params);
        EXPECT_EQ(status.params, c.params);
        EXPECT_EQ(status.systemState, c.system);
        EXPECT_EQ(status.lastKey, c.key);
        EXPECT_EQ(status.loopStates, c.loops);
    }
}

TEST(ReplyReaders, PhoneBookIsReadWholeOrNotAtAll) {
    using Entries = std::vector<std::pair<std::size_t, PhoneEntry>>;
    const struct {
        const char* name;
        const char* text;
        std::optional<Entries> entries;
    } cases[] = {
        {"paired in order, surplus item unchecked",
         "SMS=+79001234567000005,FFFFFFFFFFFF00000a,extra;DIA=0123FFFFFFFFabcdef;DAT=;",
         Entries{{0, {0, "+79001234567", 5}}, {1, {0, "", 10}}, {2, {1, "0123", 0xABCDEF}}}},
        {"Cyrillic in the number is dropped", "SMS=;DIA=;DAT=Ж12345678901FFFFFF;",
         Entries{{4, {2, "12345678901", 0xFFFFFF}}}},
        {"DAT missing", "SMS=+79001234567000005;DIA=;", std::nullopt},
        {"item too short", "SMS=123;DIA=;DAT=;", std::nullopt},
        {"item truncated", "SMS=+7900123456700000;DIA=;DAT=;", std::nullopt},
        {"mask not hexadecimal", "SMS=999FFFFFFFFFzzzzzz;DIA=;DAT=;", std::nullopt},
        {"mask in Cyrillic", "SMS=999FFFFFFFFF00000Ж;DIA=;DAT=;", std::nullopt},
        {"bad second item", "SMS=;DIA=0123FFFFFFFF000001,12;DAT=;", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<PhoneBookReply> book = ReadPhoneBookReply(c.text, Device().phones);
        ASSERT_EQ(book.has_value(), c.entries.has_value());
        if (book) {
            EXPECT_EQ(book->entries, *c.entries);
        }
    }
}

TEST(ReplyReaders, KeysPasswordsLoopsAndFiles) {
    using Codes = std::vector<std::pair<std::size_t, std::string>>;
    EXPECT_EQ(ReadKeyReply("", 15), std::nullopt);
    EXPECT_EQ(ReadKeyReply("X=1;", 15), KeyReply{}) << "usable, nothing to set";
    EXPECT_EQ(ReadKeyReply("MKEY=a200000001b81c02;KEY1=BAD';KEY2=0000000000000000;"
                           "KEY14=A200000001B81C03;KEY15=0000000000000000;",
                           15),
              (KeyReply{Codes{{0, "a200000001b81c02"}, {2, "0000000000000000"}}}))
        << "invalid codes and keys beyond the list are passed over";

    EXPECT_EQ(ReadNewPasswordReply("NPASS=x;", "NPSWD"), std::nullopt);
    EXPECT_EQ(ReadNewPasswordReply("NPSWD=O'Neil';", "NPSWD"), NewPasswordReply{"O'Neil'"});

    EXPECT_EQ(ReadLoopConfigReply("CONF=M1=0(),;"), std::nullopt);
    EXPECT_EQ(ReadLoopConfigReply("CFG=M1=2(5,6,),M9=x,M2=1(3,),;"),
              (LoopConfigReply{"M1=2(5,6,),M9=x,M2=1(3,),", {{1, {5, 6}}}}))
        << "entries stop at the malformed one; the text is kept whole";

    EXPECT_EQ(ReadFileReply("X=1;", "f"), (FileReply{"f", std::nullopt})) << "no file to write";
    EXPECT_EQ(ReadFileReply("FILE=0G;", "f"), std::nullopt);
    EXPECT_EQ(ReadFileReply("FILE=4142", "f"), (FileReply{"f", "AB"}));
    EXPECT_EQ(ReadFileReply("FILE=ff4;", "f"), (FileReply{"f", "\xFF"}));

    // Without its header a reply is never read, whatever it says.
    for (const CTermMessage& headless :
         {CTermMessage(), CTermMessage(7, CTermMessage::kNotSet, "")}) {
        EXPECT_FALSE(ReadTerminalReply(Spec(1), headless));
        EXPECT_FALSE(ReadDeviceReply(Device(), Spec(16), headless));
    }
}

} // namespace
} // namespace tornu
