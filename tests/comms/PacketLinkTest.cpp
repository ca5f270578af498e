// Frames out, packets in with their check digits, and Transact's attempts
// between the worker and the reader thread. Whole sessions over the line run
// in tests/e2e.
#include "comms/Link.h"
#include "comms/PacketChannel.h"
#include "comms/PacketChannelPool.h"
#include "comms/Transact.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/TermMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

using namespace tornu;

namespace {

// Records every byte written; a hook may play the terminal's side.
class CFakeLink : public CLink {
public:
    CFakeLink() : CLink("Модем") {}
    ~CFakeLink() override { DetachChannel(); }

    bool WaitReply(int) override { return false; }
    using CLink::Write;
    bool Write(const void* bytes, std::size_t length) override {
        std::string chunk(static_cast<const char*>(bytes), length);
        {
            std::lock_guard<std::mutex> guard(lock_);
            written_ += chunk;
        }
        if (onWrite)
            onWrite(chunk);
        return accept;
    }
    void OnBadPacket(std::string_view packet) override { bad.emplace_back(packet); }
    std::string Written() const {
        std::lock_guard<std::mutex> guard(lock_);
        return written_;
    }
    std::size_t Frames() const {
        std::string w = Written();
        return static_cast<std::size_t>(std::count(w.begin(), w.end(), '~'));
    }

    bool accept = true;
    std::function<void(const std::string&)> onWrite; // called on the writing thread
    std::vector<std::string> bad;                    // packets refused for their check digits

private:
    mutable std::mutex lock_;
    std::string written_;
};

class PacketLink : public testing::Test {
protected:
    void SetUp() override {
        channel = pool.Create();
        ASSERT_TRUE(channel->Attach(link.get()));
    }
    void TearDown() override {
        link.reset();
        EXPECT_EQ(pool.Count(), 0u); // the link held the only reference
    }
    void Feed(const std::string& bytes) {
        ASSERT_TRUE(channel->OnBytes(bytes.data(), bytes.size()));
    }
    std::vector<std::string> TakeAll() {
        std::vector<std::string> packets;
        for (std::string packet; channel->ReceivePacket(packet);)
            packets.push_back(packet);
        return packets;
    }
    // Answers every frame the worker writes with `reply` (raw bytes).
    void ReplyWith(const std::string& reply) {
        link->onWrite = [this, reply](const std::string& chunk) {
            if (chunk == "\r")
                Feed(reply);
        };
    }

    CPacketChannelPool pool;
    std::unique_ptr<CFakeLink> link = std::make_unique<CFakeLink>();
    CPacketChannel* channel = nullptr;
};

// A packet as the terminal frames it, its check digits spoilt by `damage`.
std::string Frame(const std::string& text, int damage = 0) {
    return "~" + text + HexByte(static_cast<std::uint8_t>(Crc8(text) ^ damage)) + "\r\n";
}

} // namespace

TEST_F(PacketLink, FramesSentAndRefused) {
    EXPECT_TRUE(SendOnly(*channel, CTermMessage(12, 2, "39")));
    EXPECT_EQ(link->Written(), "~001202000239B1\r");
    // A message that cannot be formed sends nothing.
    EXPECT_FALSE(SendOnly(*channel, CTermMessage(65536, 4, "x")));
    CTermMessage reply;
    EXPECT_FALSE(Transact(*channel, CTermMessage(12, -1), reply, 1, 5));
    EXPECT_EQ(link->Frames(), 1u);
    // A failed write fails the attempt.
    link->accept = false;
    CTermMessage message(12, 4, "PASS");
    EXPECT_FALSE(Transact(*channel, message, message, 1, 5));
    EXPECT_EQ(link->Frames(), 2u);
    EXPECT_FALSE(channel->OnBytes(nullptr, 3));
    EXPECT_FALSE(channel->OnBytes("~", 0));
}

TEST_F(PacketLink, PacketsAreCutWithoutCheckDigits) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"ab~001206000022\r\n", {"0012060000"}},
        {"~0012060000\r22\n", {"0012060000"}}, // breaks need not be adjacent
        {"~ab~cdXX\n\n", {"ab~cd"}},           // a start inside a packet is data
        {"~0012060000XX\r", {}},               // one break is not the end
        {"~AAAXX\r\nnoise\r\n~BBBXX\r\n", {"AAA", "BBB"}},
        {"~" + std::string(CPacketChannel::kMaxPacket, 'A') + "XX\r\n",
         {std::string(CPacketChannel::kMaxPacket, 'A')}},
        {"~" + std::string(CPacketChannel::kMaxPacket + 1, 'A') + "XX\r\n~BBBXX\r\n", {"BBB"}},
    };
    for (const auto& [bytes, packets] : cases) {
        channel->ResetReceiver(); // each case from a clean cutter
        Feed(bytes);
        EXPECT_EQ(TakeAll(), packets) << bytes.substr(0, 40);
    }
    // Byte by byte equals whole, Windows-1251 read back as UTF-8.
    for (char b : std::string("#~0001040004\xD2\xE5\xF1\xF2"
                              "82\r\n"))
        ASSERT_TRUE(channel->OnBytes(&b, 1));
    CTermMessage message;
    ASSERT_TRUE(ReceiveMessage(*channel, message));
    EXPECT_EQ(message.GetData(), "Тест");
}

// A damaged packet is dropped as if lost and the link hears of it.
TEST_F(PacketLink, WrongCheckDigitsDropThePacketOnlyWhileTheCheckIsOn) {
    const std::string text = "0012060000";
    std::string lower = Frame(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::pair<std::string, bool> cases[] = {
        {Frame(text), true},
        {lower, true},
        {Frame(text, 0x01), false},
        {"~" + text + "\r\n", false}, // the last two characters are taken for digits
        {"~\r\n", false},
        {"~" + text + "ZZ\r\n", false},
    };
    channel->SetCheckDigits(true);
    for (const auto& [bytes, queued] : cases) {
        Feed(bytes);
        EXPECT_EQ(TakeAll(), queued ? std::vector<std::string>{text} : std::vector<std::string>{})
            << bytes;
    }
    EXPECT_EQ(channel->RejectedPackets(), 4);
    ASSERT_EQ(link->bad.size(), 4u);
    EXPECT_EQ(link->bad[0], text + HexByte(Crc8(text) ^ 0x01));
    channel->SetCheckDigits(false);
    Feed(Frame(text, 0x01));
    EXPECT_EQ(TakeAll(), std::vector<std::string>{text});
}

TEST_F(PacketLink, TheNextAttemptRecoversADamagedReply) {
    channel->SetCheckDigits(true);
    int frames = 0;
    link->onWrite = [&](const std::string& chunk) {
        if (chunk == "\r")
            Feed(Frame("0012160005SYS=1", ++frames == 1 ? 0x5A : 0));
    };
    CTermMessage message(12, 16, "RZD=01;PASS=1;");
    ASSERT_TRUE(Transact(*channel, message, message, 1, 5));
    EXPECT_EQ(message.GetData(), "SYS=1");
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(link->bad.size(), 1u);
}

// Silence and error replies are the sessions' (tests/e2e).
TEST_F(PacketLink, AnUnreadableReplyOrASignalEndsTheAttempts) {
    CTermMessage message(12, 4, "PASS");
    ReplyWith("~00120XX\r\n"); // unreadable: no further attempt
    const std::size_t before = link->Frames();
    EXPECT_FALSE(Transact(*channel, message, message, 1000, 5));
    EXPECT_EQ(link->Frames(), before + 1);

    link->onWrite = nullptr;
    channel->Signal(); // a signal without a packet ends the wait
    EXPECT_FALSE(Transact(*channel, message, message, 10000, 5));
    EXPECT_EQ(link->Frames(), before + 2);
}


// The reader thread feeds replies byte by byte while the worker transacts.
TEST_F(PacketLink, ReaderThreadHandsRepliesToTheWorker) {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::string> requests;
    bool stop = false;
    std::string frame;
    link->onWrite = [&](const std::string& chunk) { // worker thread
        frame += chunk;
        if (chunk != "\r")
            return;
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(frame.substr(1, frame.size() - 4));
        frame.clear();
        wake.notify_one();
    };
    std::thread reader([&] {
        for (;;) {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait(guard, [&] { return stop || !requests.empty(); });
            if (stop)
                return;
            CTermMessage request;
            request.ReadText(requests.front());
            requests.pop_front();
            guard.unlock();
            std::string text;
            CTermMessage(request.GetNumber(), 6, "re:" + request.GetData()).BuildText(text);
            for (char b : "\r\nnoise~" + text + "CC\r\n")
                channel->OnBytes(&b, 1);
        }
    });
    for (int i = 0; i < 300; ++i) {
        CTermMessage message(i, 4, std::to_string(i));
        ASSERT_TRUE(Transact(*channel, message, message, 10000, 1)) << i;
        EXPECT_EQ(message.GetNumber(), i);
        EXPECT_EQ(message.GetData(), "re:" + std::to_string(i));
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        stop = true;
    }
    wake.notify_one();
    reader.join();
}

TEST(PacketLinkPool, ReferencesPoolAndLink) {
    auto link = std::make_unique<CFakeLink>();
    {
        CPacketChannelPool pool;
        CPacketChannel* alone = pool.Create();
        EXPECT_FALSE(alone->Attach(nullptr));
        EXPECT_FALSE(alone->SendPacket("0012020000")); // no link: nothing sent
        alone->AddRef();
        alone->Release();
        EXPECT_EQ(pool.Count(), 1u);
        alone->Release();
        EXPECT_EQ(pool.Count(), 0u);

        // Destroying the link detaches and releases; a worker's reference keeps the channel.
        auto gone = std::make_unique<CFakeLink>();
        CPacketChannel* held = pool.Create();
        ASSERT_TRUE(held->Attach(gone.get()));
        EXPECT_EQ(held->GetLink(), gone.get());
        held->AddRef();
        gone.reset();
        EXPECT_EQ(pool.Count(), 1u);
        EXPECT_EQ(held->GetLink(), nullptr);
        EXPECT_FALSE(SendOnly(*held, CTermMessage(12, 2, "39")));
        held->Release();
        EXPECT_EQ(pool.Count(), 0u);

        ASSERT_TRUE(pool.Create()->Attach(link.get()));
    }
    // Deleting the pool deleted the channel left: nothing stale in the link.
    EXPECT_EQ(link->GetChannel(), nullptr);
}
