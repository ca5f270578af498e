// Check digits of received packets: a damaged packet is dropped as if lost,
// the link hears of it, and the sender's next attempt recovers the reply.
#include "comms/Link.h"
#include "comms/PacketChannel.h"
#include "comms/PacketChannelPool.h"
#include "comms/Transact.h"
#include "protocol/Crc8.h"
#include "protocol/ConfigText.h"
#include "protocol/TermMessage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

using namespace tornu;

namespace {

// Plays the terminal: each frame written gets the next answer fed back at once.
class CAnsweringLink : public CLink {
public:
    CAnsweringLink() : CLink("Модем") {}
    ~CAnsweringLink() override { DetachChannel(); }
    bool WaitReply(int) override { return false; }
    using CLink::Write;
    bool Write(const void* bytes, std::size_t length) override {
        const std::string chunk(static_cast<const char*>(bytes), length);
        if (chunk == "\r" && next < answers.size()) {
            const std::string& answer = answers[next++];
            GetChannel()->OnBytes(answer.data(), answer.size());
            ++frames;
        }
        return true;
    }
    void OnBadPacket(std::string_view packet) override { bad.emplace_back(packet); }

    std::vector<std::string> answers;
    std::size_t next = 0;
    int frames = 0;
    std::vector<std::string> bad;
};

std::string Frame(const std::string& text, int damage = 0) {
    return "~" + text + HexByte(static_cast<std::uint8_t>(Crc8(text) ^ damage)) + "\r\n";
}

class CrcCheck : public testing::Test {
protected:
    void SetUp() override {
        channel = pool.Create();
        ASSERT_TRUE(channel->Attach(&link));
    }
    std::vector<std::string> Queued() {
        std::vector<std::string> packets;
        for (std::string packet; channel->ReceivePacket(packet);)
            packets.push_back(packet);
        return packets;
    }
    CPacketChannelPool pool;
    CAnsweringLink link;
    CPacketChannel* channel = nullptr;
};

TEST_F(CrcCheck, WrongDigitsDropThePacketOnlyWhileTheCheckIsOn) {
    const std::string good = Frame("0012060000");
    const struct {
        std::string bytes;
        bool queued;
    } cases[] = {
        {good, true},
        {Frame("0012060000", 0x01), false},
        {Frame("0012060000", 0x10), false},
        {"~0012060000\r\n", false}, // the last two characters are taken for digits
        {"~\r\n", false},
        {"~0012060000ZZ\r\n", false},
    };
    channel->SetCheckDigits(true);
    for (const auto& c : cases) {
        ASSERT_TRUE(channel->OnBytes(c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(Queued().size(), c.queued ? 1u : 0u) << c.bytes;
    }
    EXPECT_EQ(channel->RejectedPackets(), 5);
    ASSERT_EQ(link.bad.size(), 5u);
    EXPECT_EQ(link.bad[0], "0012060000" + HexByte(Crc8("0012060000") ^ 0x01));

    // Lower-case digits are digits too.
    std::string text = "0012060000";
    std::string check = HexByte(Crc8(text));
    for (char& c : check)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string lowerFrame = "~" + text + check + "\r\n";
    channel->OnBytes(lowerFrame.data(), lowerFrame.size());
    EXPECT_EQ(Queued(), std::vector<std::string>{text});

    channel->SetCheckDigits(false);
    const std::string bad = Frame("0012060000", 0x01);
    channel->OnBytes(bad.data(), bad.size());
    EXPECT_EQ(Queued(), std::vector<std::string>{"0012060000"});
}

TEST_F(CrcCheck, TheNextAttemptRecoversADamagedReply) {
    channel->SetCheckDigits(true);
    link.answers = {Frame("0012160005SYS=1", 0x5A), Frame("0012160005SYS=1")};
    CTermMessage message(12, 16, "RZD=01;PASS=1;");
    ASSERT_TRUE(Transact(*channel, message, message, 1, 5));
    EXPECT_EQ(message.GetData(), "SYS=1");
    EXPECT_EQ(link.frames, 2);
    EXPECT_EQ(link.bad.size(), 1u);
}

// The sending side widens the length field for data of 10000 characters and
// more; the reading side takes it as wide as it was written.
TEST(LengthField, ReadAsWideAsWritten) {
    for (std::size_t size : {0u, 9999u, 10000u, 10010u, 128005u}) {
        const std::string data(size, 'A');
        std::string text;
        ASSERT_TRUE(CTermMessage(12, 61, data).BuildText(text));
        CTermMessage read;
        ASSERT_TRUE(read.ReadText(text));
        EXPECT_EQ(read.GetData().size(), size);
        EXPECT_EQ(read.GetCode(), 61);
    }
    // A sender whose length disagrees with its data is read as before.
    CTermMessage read;
    ASSERT_TRUE(read.ReadText("0012160099SYS=1"));
    EXPECT_EQ(read.GetData(), "SYS=1");
}

} // namespace
