// A fleet behind one simulated modem: the dialled number picks the terminal,
// and each terminal plays its fault for as many calls as its line says.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/SimFleet.h"

namespace tornu {
namespace {

using test::ConfiguratorFrame;
using test::FramesIn;
using test::Joined;

const char kBase[] = "[Terminal]\nNumber=1\n[Device 1]\nPassword=1111\nLoop.1=3,0\n"
                     "[Modem]\nDialDelay=100\nReceiptDelay=100\n";
const char kFleet[] = "; phone number password fault\n"
                      "+7001 11 aaaa\n"
                      "+7002 12 bbbb busy*2\n"
                      "+7003 13 cccc noanswer\n"
                      "\n"
                      "+7004 14 dddd password\n"
                      "+7005 15 eeee silent\n"
                      "+7006 16 ffff drop*1\r\n";

class SimFleetTest : public ::testing::Test {
protected:
    std::string Send(const std::string& bytes) {
        sim_.Receive(bytes, now_);
        return Joined(sim_.TakeOutput());
    }
    std::string Wait(std::int64_t ms) {
        now_ += ms;
        sim_.Tick(now_);
        return Joined(sim_.TakeOutput());
    }
    // One call: the dial's result, then (when connected) the first frame's
    // header and the answers to the login and to one command, as
    // "code:data" or "-" for silence (no command when the login is not
    // accepted); the call is hung up after.
    std::string Call(const std::string& phone, int number, const std::string& password) {
        std::string out = Send("atd" + phone + "\r");
        out += Wait(100);
        std::string result = out.find("CONNECT") != std::string::npos ? "CONNECT" : out;
        if (result == "CONNECT") {
            const auto receipt = FramesIn(Wait(100));
            result += receipt.empty() ? " no-receipt"
                                      : " receipt-" + std::to_string(receipt[0].message.GetNumber());
            for (const auto& [code, data] :
                 {std::pair{4, password}, std::pair{16, std::string("RZD=01;PASS=1111;")}}) {
                now_ += 10;
                const std::string bytes = Send(ConfiguratorFrame(CTermMessage(number, code, data)));
                const auto frames = FramesIn(bytes);
                if (bytes.find("NO CARRIER") != std::string::npos)
                    result += " dropped";
                else if (frames.empty())
                    result += " -";
                else
                    result += " " + std::to_string(frames[0].message.GetCode()) + ":" +
                              frames[0].message.GetData().substr(0, 2);
                // As the configurator, no command without a login.
                if (code == 4 && result.substr(result.size() - 3) != " 6:")
                    break;
            }
        }
        Send("+++");
        sim_.PeerClosed();
        return result;
    }

    static CTerminalState Base() {
        CTerminalState base;
        std::string error;
        EXPECT_TRUE(base.Read(kBase, ".", error)) << error;
        return base;
    }
    static CSimFleet Fleet(const CTerminalState& base) {
        CSimFleet fleet;
        std::string error;
        EXPECT_TRUE(fleet.Read(kFleet, base, error)) << error;
        return fleet;
    }

    CTerminalState base_ = Base();
    CSimFleet fleet_ = Fleet(base_);
    // Made once the fleet is read: it starts with the fleet's first terminal.
    CSimulator sim_{fleet_, [](const std::string&) {}};
    std::int64_t now_ = 100000;
};

TEST_F(SimFleetTest, TheDialledNumberPicksTheTerminalAndItsFault) {
    const struct {
        const char* name;
        const char* phone;
        int number;
        const char* password;
        const char* first;
        const char* later; // the third call
    } cases[] = {
        {"healthy", "+7001", 11, "aaaa", "CONNECT receipt-11 6: 16:SY", "CONNECT receipt-11 6: 16:SY"},
        {"busy for two calls", "+7002", 12, "bbbb", "\r\nBUSY\r\n", "CONNECT receipt-12 6: 16:SY"},
        {"never answers", "+7003", 13, "cccc", "\r\nNO ANSWER\r\n", "\r\nNO ANSWER\r\n"},
        {"wrong password", "+7004", 14, "dddd", "CONNECT receipt-14 70:5",
         "CONNECT receipt-14 70:5"},
        {"silent", "+7005", 15, "eeee", "CONNECT no-receipt -", "CONNECT no-receipt -"},
        {"drops the first call", "+7006", 16, "ffff", "CONNECT receipt-16 6: dropped",
         "CONNECT receipt-16 6: 16:SY"},
        {"not in the fleet", "+7999", 1, "x", "\r\nNO ANSWER\r\n", "\r\nNO ANSWER\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Call(c.phone, c.number, c.password), c.first) << c.name;
        Call(c.phone, c.number, c.password);
        EXPECT_EQ(Call(c.phone, c.number, c.password), c.later) << c.name;
    }
}

TEST_F(SimFleetTest, MalformedFleetsAreRefusedWithTheirLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"+7001 11\n", "fleet line 1"},
        {"+7001 11 a\n+7002 x a\n", "fleet line 2"},
        {"+7001 11 a smoke\n", "fleet line 1"},
        {"+7001 11 a busy*0\n", "fleet line 1"},
        {"+7001 11 a busy extra\n", "fleet line 1"},
        {"+7001 11 a\n+7001 12 b\n", "phone +7001 given twice"},
        {"; nothing\n", "the fleet lists no terminal"},
    };
    for (const auto& c : cases) {
        CSimFleet fleet;
        std::string error;
        EXPECT_FALSE(fleet.Read(c.text, base_, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
    }
}

} // namespace
} // namespace tornu
