// The simulated terminal's state file and its replies to each command code.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "TestUtil.h"
#include "sim/SimTerminal.h"
#include "sim/TerminalState.h"

namespace tornu {
namespace {

const char kState[] = "[Terminal]\nNumber=12\nLinkPassword=1234\nArmCode=20\nDisarmCode=21\n"
                      "[Files]\nOut.61=414243\n"
                      "[Device 1]\nMaster=-1\nPassword=1111\nSystem=1001\nLastKey=3\n"
                      "Loop.1=3,1\nLoop.2=10,0\nParam.DLYIN=30\n"
                      "Phone.1=SMS,+79001234567,0000FF\nPhone.2=DIA,123,000003\n"
                      "KeyCount=2\nKey.0=540000001E3C5A01\n"
                      "[Device 5]\nMaster=1\nPrefix=RK\nLoop.3=5,16\nParam.TEMP=735\n";

class SimTerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(state_.Read(kState, ".", error)) << error;
        terminal_.StartSession();
    }
    // The reply's code and data to a message of this terminal.
    std::pair<int, std::string> Ask(int code, const std::string& data, int number = 12) {
        CTermMessage reply;
        EXPECT_EQ(terminal_.Handle(CTermMessage(number, code, data), reply),
                  CSimTerminal::Outcome::Reply);
        return {reply.GetCode(), reply.GetData()};
    }
    void Login() { ASSERT_EQ(Ask(4, "1234").first, 6); }

    CTerminalState state_;
    CSimTerminal terminal_{state_};
};

TEST_F(SimTerminalTest, StateFileErrorsNameTheEntry) {
    const struct {
        const char* name;
        const char* text;
        const char* error;
    } cases[] = {
        {"unknown key", "[Terminal]\nNumbr=1\n", "[Terminal] Numbr: unknown key"},
        {"loop number twice", "[Device 1]\nLoop.1=3,0\n[Device 2]\nLoop.1=3,0\n",
         "[Device 2] Loop.1: the loop number is already taken"},
        {"master is a slave", "[Device 1]\nMaster=2\n[Device 2]\nMaster=3\n[Device 3]\n",
         "[Device 1] Master: no partition at that address"},
        {"section twice", "[Modem]\nDial=BUSY\n[Modem]\nAnswer=0\n",
         "[Modem]: the section is given twice"},
        {"fault code", "[Faults]\nError.x=5\n",
         "[Faults] Error.x: a message code 0..99 must follow the dot"},
    };
    for (const auto& c : cases) {
        CTerminalState state;
        std::string error;
        EXPECT_FALSE(state.Read(c.text, ".", error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

TEST_F(SimTerminalTest, ReadingRepliesAndErrors) {
    EXPECT_EQ(Ask(16, "RZD=01;PASS=1111;"), std::make_pair(70, std::string("10"))) << "no login";
    EXPECT_EQ(Ask(4, "4321"), std::make_pair(70, std::string("5")));
    Login();
    const struct {
        const char* name;
        int code;
        const char* data;
        int replyCode;
        const char* reply;
    } cases[] = {
        // What the sessions read back is checked end to end (tests/e2e).
        {"loop configuration, a slave's own prefix", 39, "RZD=1;PASS=1111;", 39,
         "CFG=M1=2(1,0,),RK5=1(16,),;"},
        {"link test", 1, "RZD=1;PASS=1111;", 1, ""},
        {"wrong partition password", 16, "RZD=01;PASS=1112;", 70, "6"},
        {"unknown partition", 16, "RZD=02;PASS=1111;", 70, "7"},
        {"unknown subordinate device", 16, "RZD=01;PASS=1111;DEVA=06;", 70, "12"},
        {"no address", 16, "PASS=1111;", 70, "8"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ask(c.code, c.data), std::make_pair(c.replyCode, std::string(c.reply))) << c.name;
    EXPECT_EQ(Ask(16, "RZD=01;PASS=1111;", 13), std::make_pair(70, std::string("4")));
}

// What the configurator writes is read back; the end-to-end sessions cover
// each write, here only what they leave out.
TEST_F(SimTerminalTest, ArmingAndRefusedWrites) {
    Login();
    const std::string p = "RZD=01;PASS=1111;";
    EXPECT_EQ(Ask(24, p + "SMS=;DIA=;").second, "8") << "no DAT: format error, book kept";
    EXPECT_EQ(Ask(23, p).second, "SMS=+790012345670000FF,;DIA=123FFFFFFFFF000003,;DAT=;");
    EXPECT_EQ(Ask(20, p).second, "SYS=1101;KEY=3;SHL=0019002A0035;DLYIN=30;") << "armed";
    EXPECT_EQ(Ask(96, p + "NPASS=2222;").second, "NPASS=2222;");
    EXPECT_EQ(Ask(16, p).second, "6") << "the old partition password no longer opens it";
}

} // namespace
} // namespace tornu
