#include "comms/Link.h"
#include "comms/PacketChannel.h"
#include "comms/PacketChannelPool.h"
#include "comms/PacketQueue.h"
#include "protocol/TermMessage.h"
#include "comms/Transact.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
    std::string Take() {
        std::string packet;
        EXPECT_TRUE(channel->ReceivePacket(packet));
        return packet;
    }

    CPacketChannelPool pool;
    std::unique_ptr<CFakeLink> link = std::make_unique<CFakeLink>();
    CPacketChannel* channel = nullptr;
};

} // namespace

// ---- frames sent -----------------------------------------------------------

TEST_F(PacketLink, ClosingMessageFrame) {
    EXPECT_TRUE(SendOnly(*channel, CTermMessage(12, 2, "39")));
    EXPECT_EQ(link->Written(), "~001202000239B1\r");
}

TEST_F(PacketLink, HexNumberAndCyrillicFrame) {
    EXPECT_TRUE(SendOnly(*channel, CTermMessage(10000, 4, "Тест")));
    EXPECT_EQ(link->Written(), "~H2710040004\xD2\xE5\xF1\xF2"
                               "82\r");
}

TEST_F(PacketLink, MessageThatCannotBeFormedSendsNothing) {
    EXPECT_FALSE(SendOnly(*channel, CTermMessage(-1, 4, "x")));
    EXPECT_FALSE(SendOnly(*channel, CTermMessage(65536, 4, "x")));
    CTermMessage reply;
    EXPECT_FALSE(Transact(*channel, CTermMessage(12, -1), reply, 1, 5));
    EXPECT_EQ(link->Written(), "");
}

TEST_F(PacketLink, FailedWriteFailsTheSend) {
    link->accept = false;
    EXPECT_FALSE(channel->SendPacket("0012020000"));
    CTermMessage message(12, 4, "PASS");
    EXPECT_FALSE(Transact(*channel, message, message, 1, 5));
    EXPECT_EQ(link->Frames(), 2u); // one for SendPacket, one attempt of Transact
}

TEST(PacketLinkPool, ChannelWithoutLinkSendsNothing) {
    CPacketChannelPool pool;
    CPacketChannel* channel = pool.Create();
    EXPECT_FALSE(channel->Attach(nullptr));
    EXPECT_FALSE(channel->SendPacket("0012020000"));
    channel->Release();
    EXPECT_EQ(pool.Count(), 0u);
}

// ---- packets received ------------------------------------------------------

struct CutCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> packets;
};

class PacketCutting : public PacketLink, public testing::WithParamInterface<CutCase> {};

TEST_P(PacketCutting, QueuesThePacketsWithoutCheckDigits) {
    const CutCase& c = GetParam();
    Feed(c.bytes);
    for (const std::string& expected : c.packets)
        EXPECT_EQ(Take(), expected);
    std::string extra;
    EXPECT_FALSE(channel->ReceivePacket(extra)) << extra;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PacketCutting,
    testing::Values(CutCase{"StrayBytesBeforeStart", "ab~001206000022\r\n", {"0012060000"}},
                    CutCase{"TwoCharacters", "~AB\r\n", {"AB"}},
                    CutCase{"OneCharacter", "~A\r\n", {"A"}}, CutCase{"Empty", "~\r\n", {""}},
                    CutCase{"BreaksNeedNotBeAdjacent", "~0012060000\r22\n", {"0012060000"}},
                    CutCase{"TwoLineFeeds", "~0012060000XX\n\n", {"0012060000"}},
                    CutCase{"StartInsidePacketIsData", "~ab~cdXX\r\n", {"ab~cd"}},
                    CutCase{"OneBreakIsNotTheEnd", "~0012060000XX\r", {}},
                    CutCase{"BytesBetweenPackets", "~AAAXX\r\nnoise\r\n~BBBXX\r\n", {"AAA", "BBB"}},
                    CutCase{"NoStart", "0012060000XX\r\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PacketLink, ReceivedMessageWithStrayBytes) {
    Feed("xy~0012060000");
    Feed("22\r\n");
    CTermMessage message;
    ASSERT_TRUE(ReceiveMessage(*channel, message));
    EXPECT_EQ(message.GetNumber(), 12);
    EXPECT_EQ(message.GetCode(), 6);
    EXPECT_EQ(message.GetData(), "");
}

TEST_F(PacketLink, ByteByByteEqualsWhole) {
    std::string bytes = "#~0001040004\xD2\xE5\xF1\xF2"
                        "82\r\n";
    for (char b : bytes)
        ASSERT_TRUE(channel->OnBytes(&b, 1));
    CTermMessage message;
    ASSERT_TRUE(ReceiveMessage(*channel, message));
    EXPECT_EQ(message.GetData(), "Тест");
}

TEST_F(PacketLink, NoBytesIsRefused) {
    EXPECT_FALSE(channel->OnBytes(nullptr, 3));
    EXPECT_FALSE(channel->OnBytes("~", 0));
}

TEST_F(PacketLink, EleventhPacketDropsTheOldest) {
    for (int i = 0; i < 11; ++i)
        Feed("~P" + std::to_string(i) + "XX\r\n");
    for (int i = 1; i < 11; ++i)
        EXPECT_EQ(Take(), "P" + std::to_string(i));
    CTermMessage message;
    EXPECT_FALSE(ReceiveMessage(*channel, message));
}

TEST_F(PacketLink, LongestPacketIsKept) {
    std::string text(CPacketChannel::kMaxPacket, 'A');
    Feed("~" + text + "XX\r\n");
    EXPECT_EQ(Take(), text);
}

TEST_F(PacketLink, OversizePacketIsDroppedAndTheNextIsRead) {
    Feed("~" + std::string(CPacketChannel::kMaxPacket + 1, 'A') + "XX\r\n");
    Feed("~001206000022\r\n");
    EXPECT_EQ(Take(), "0012060000");
    std::string extra;
    EXPECT_FALSE(channel->ReceivePacket(extra));
}

TEST_F(PacketLink, ResetReceiverForgetsPartialAndQueuedPackets) {
    Feed("~AAAXX\r\n~0012");
    channel->ResetReceiver();
    Feed("060000XX\r\n"); // the rest of the cut packet is dropped
    std::string packet;
    EXPECT_FALSE(channel->ReceivePacket(packet));
    EXPECT_TRUE(channel->WaitPacket(0)); // the event stays set
    Feed("~BBBXX\r\n");
    EXPECT_EQ(Take(), "BBB");
}

TEST_F(PacketLink, QueuedPacketSetsTheEvent) {
    EXPECT_FALSE(channel->WaitPacket(0));
    Feed("~AAAXX\r\n");
    EXPECT_TRUE(channel->WaitPacket(0));
    EXPECT_FALSE(channel->WaitPacket(0)); // auto-reset
}

// ---- Transact --------------------------------------------------------------

TEST_F(PacketLink, SilentTerminalGetsEveryAttempt) {
    CTermMessage message(12, 4, "PASS");
    EXPECT_FALSE(Transact(*channel, message, message, 1, 5));
    std::string frame = "~0012040004PASS";
    std::string written = link->Written();
    EXPECT_EQ(link->Frames(), 5u);
    EXPECT_EQ(written.substr(0, frame.size()), frame);
    EXPECT_EQ(written.size() % (frame.size() + 3), 0u);
}

TEST_F(PacketLink, ReplyToTheSecondAttemptReplacesTheMessage) {
    int frames = 0;
    link->onWrite = [&](const std::string& chunk) {
        if (chunk == "\r" && ++frames == 2)
            Feed("~0012040005\xCE\xF2\xE2\xE5\xF2XX\r\n");
    };
    CTermMessage message(12, 4, "PASS");
    ASSERT_TRUE(Transact(*channel, message, message, 1, 5));
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(message.GetCode(), 4);
    EXPECT_EQ(message.GetData(), "Ответ");
}

TEST_F(PacketLink, ErrorReplyIsHandedBack) {
    link->onWrite = [&](const std::string& chunk) {
        if (chunk == "\r")
            Feed("~001270000217XX\r\n");
    };
    CTermMessage message(12, 39, "");
    ASSERT_TRUE(Transact(*channel, message, message, 1000, 1));
    EXPECT_EQ(message.GetCode(), 70);
    EXPECT_EQ(message.GetData(), "17");
}

TEST_F(PacketLink, UnreadableReplyFails) {
    link->onWrite = [&](const std::string& chunk) {
        if (chunk == "\r")
            Feed("~00120XX\r\n");
    };
    CTermMessage message(12, 39, "");
    EXPECT_FALSE(Transact(*channel, message, message, 1000, 5));
    EXPECT_EQ(link->Frames(), 1u);
}

TEST_F(PacketLink, SignalWithoutPacketEndsTransact) {
    channel->Signal();
    CTermMessage message(12, 39, "");
    EXPECT_FALSE(Transact(*channel, message, message, 10000, 5));
    EXPECT_EQ(link->Frames(), 1u);
}

TEST_F(PacketLink, SignalWakesAWaitingWorker) {
    std::atomic<bool> woke{false};
    std::atomic<bool> received{true};
    std::thread worker([&] {
        woke = channel->WaitPacket(60000);
        std::string packet;
        received = channel->ReceivePacket(packet);
    });
    channel->Signal();
    worker.join();
    EXPECT_TRUE(woke);
    EXPECT_FALSE(received);
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
        EXPECT_EQ(message.GetCode(), 6);
        EXPECT_EQ(message.GetData(), "re:" + std::to_string(i));
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        stop = true;
    }
    wake.notify_one();
    reader.join();
}

// ---- references, pool and link ---------------------------------------------

TEST(PacketLinkPool, LastReleaseDeletesTheChannel) {
    CPacketChannelPool pool;
    CPacketChannel* channel = pool.Create();
    EXPECT_EQ(channel->GetReferences(), 1);
    channel->AddRef();
    channel->Release();
    EXPECT_EQ(pool.Count(), 1u);
    channel->Release();
    EXPECT_EQ(pool.Count(), 0u);
}

TEST(PacketLinkPool, DeletingThePoolDeletesRemainingChannels) {
    auto link = std::make_unique<CFakeLink>();
    {
        CPacketChannelPool pool;
        pool.Create();
        ASSERT_TRUE(pool.Create()->Attach(link.get()));
        EXPECT_EQ(pool.Count(), 2u);
    }
    EXPECT_EQ(link->GetChannel(), nullptr); // nothing stale left in the link
}

TEST(PacketLinkPool, DestroyingTheLinkDetachesAndReleases) {
    CPacketChannelPool pool;
    CPacketChannel* channel = pool.Create();
    auto link = std::make_unique<CFakeLink>();
    ASSERT_TRUE(channel->Attach(link.get()));
    EXPECT_EQ(link->GetChannel(), channel);
    EXPECT_EQ(channel->GetLink(), link.get());
    channel->AddRef(); // a worker holds the channel
    link.reset();
    EXPECT_EQ(pool.Count(), 1u);
    EXPECT_EQ(channel->GetLink(), nullptr);
    EXPECT_FALSE(SendOnly(*channel, CTermMessage(12, 2, "39")));
    channel->Release();
    EXPECT_EQ(pool.Count(), 0u);
}

TEST(PacketQueue, RingKeepsCapacityPackets) {
    CPacketQueue queue(2);
    std::string packet;
    EXPECT_FALSE(queue.Pop(packet));
    for (const char* p : {"a", "b", "c", "d"})
        queue.Push(p, 1);
    EXPECT_EQ(queue.Count(), 2u);
    ASSERT_TRUE(queue.Pop(packet));
    EXPECT_EQ(packet, "c");
    queue.Push("e", 1);
    queue.Clear();
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_FALSE(queue.Pop(packet));
    queue.Push("f", 1);
    ASSERT_TRUE(queue.Pop(packet));
    EXPECT_EQ(packet, "f");
}
