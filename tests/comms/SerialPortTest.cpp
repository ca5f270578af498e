#include "comms/SerialPort.h"

#include "PtyHelpers.h"
#include "TestUtil.h"
#include "comms/DebugLog.h"
#include "comms/TimeScale.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>

using namespace tornu;
using tornu::test::Eventually;
using tornu::test::PtyPair;

namespace {

// Records what the reader hands over; a chosen byte plays a modem's final
// result and sets the reply event, another closes the port from the hook.
class RecordingPort : public CSerialPort {
public:
    ~RecordingPort() override { Shutdown(); }

    std::optional<std::uint8_t> replyOn;
    std::optional<std::uint8_t> closeOn;
    std::atomic<bool> expectQuiet{false}; // set while no session is open
    std::atomic<int> hooksWhileQuiet{0};
    std::atomic<int> rxEvents{0};
    CEvent lost{true};

    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return received_.size();
    }
    std::string Received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::vector<std::thread::id> Threads() {
        std::lock_guard lock(mutex_);
        return threads_;
    }
    // True once count bytes have come (a hang guard, not a timing check).
    bool WaitForBytes(std::size_t count) {
        return Eventually([&] { return Received().size() >= count; });
    }

protected:
    void OnReceive(std::uint8_t byte) override {
        if (expectQuiet)
            ++hooksWhileQuiet;
        {
            std::lock_guard lock(mutex_);
            received_.push_back(static_cast<char>(byte));
            threads_.push_back(std::this_thread::get_id());
        }
        if (replyOn && byte == *replyOn)
            ReplyEvent().Set();
        if (closeOn && byte == *closeOn)
            Close();
    }
    void OnCommEvent(std::uint32_t mask) override {
        if (mask & kEvRxChar)
            ++rxEvents;
        if (mask & kEvErr)
            lost.Set();
    }

private:
    std::mutex mutex_;
    std::string received_;
    std::vector<std::thread::id> threads_;
};

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

class SerialPortPty : public ::testing::Test {
protected:
    CScopedTimeScale scale_{0.01};
    PtyPair pty_;
    RecordingPort port_;
};

} // namespace

// A missing path, a plain file and a port held elsewhere are the sessions'
// (PortFailuresSayWhy) and LinkFailure's.
TEST(SerialPortClosed, OpenFailsForWhatIsNoPort) {
    PtyPair pty;
    RecordingPort port;
    EXPECT_FALSE(port.Open(pty.SlavePath(), 0));
    EXPECT_FALSE(port.Open(pty.SlavePath(), 9600, 9));
    EXPECT_FALSE(port.Open(pty.SlavePath(), 9600, 8, 5));
    EXPECT_FALSE(port.Open(pty.SlavePath(), 9600, 8, 0, 3));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.WriteByte('A'));
    EXPECT_FALSE(port.WaitReply(60000)); // at once: nothing to wait for
    EXPECT_FALSE(port.SetLine(CSerialPort::kSetDtr));
    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(port.Open(pty.SlavePath(), 9600)); // failures left nothing behind
}

// A port class derived once more (as a test double of the modem is): its
// destruction right after the reader started must not meet the reader's
// first call (checked by the thread sanitizer).
TEST(SerialPortClosed, DestroyingADerivedPortRightAfterAFailedOpen) {
    class Derived : public RecordingPort {};
    for (int i = 0; i < 20; ++i) {
        Derived port;
        EXPECT_FALSE(port.Open("/nonexistent/tty", 9600));
    }
}

TEST_F(SerialPortPty, DeliversEveryByteInOrderOnTheReaderThread) {
    ASSERT_TRUE(port_.Open(pty_.SlavePath(), 9600));
    const std::string bytes = AllByteValues();
    // Split writes: the reader must not care how the bytes are cut.
    ASSERT_TRUE(pty_.Write(bytes.substr(0, 100)));
    ASSERT_TRUE(port_.WaitForBytes(100));
    ASSERT_TRUE(pty_.Write(bytes.substr(100)));
    ASSERT_TRUE(port_.WaitForBytes(bytes.size()));

    EXPECT_EQ(bytes, port_.Received()); // no byte translated, eaten or added
    const auto threads = port_.Threads();
    EXPECT_NE(std::this_thread::get_id(), threads.front());
    EXPECT_EQ(std::count(threads.begin(), threads.end(), threads.front()), 256);
    EXPECT_GE(port_.rxEvents.load(), 1);
    EXPECT_TRUE(port_.IsReading());
}

// Raw bytes both ways are the sessions' (binary files, tests/e2e).
TEST_F(SerialPortPty, PutsTheOldSettingsBackOnClose) {
    const termios before = pty_.SlaveSettings();
    ASSERT_TRUE(before.c_lflag & ICANON);
    ASSERT_TRUE(port_.Open(pty_.SlavePath(), 9600));
    EXPECT_FALSE(pty_.SlaveSettings().c_lflag & ICANON);
    EXPECT_TRUE(port_.Close());
    const termios after = pty_.SlaveSettings();
    EXPECT_EQ(std::tuple(after.c_lflag, after.c_iflag, after.c_oflag, cfgetospeed(&after)),
              std::tuple(before.c_lflag, before.c_iflag, before.c_oflag, cfgetospeed(&before)));
}

TEST_F(SerialPortPty, WaitReplyEndsOnTheHooksEventOrOnClose) {
    port_.replyOn = 'K';
    ASSERT_TRUE(port_.Open(pty_.SlavePath(), 9600));
    EXPECT_FALSE(port_.WaitReply(500)); // nothing came: five scaled steps
    ASSERT_TRUE(pty_.Write("\r\nOK\r\n"));
    EXPECT_TRUE(port_.WaitReply(600000));
    EXPECT_FALSE(port_.WaitReply(50)); // auto-reset: one reply, one wait

    CScopedTimeScale realTime(1.0); // a release that failed would hang here
    std::thread waiter([&] { port_.WaitReply(100000000); });
    EXPECT_TRUE(port_.Close());
    waiter.join();
    EXPECT_FALSE(port_.WaitReply(100000000)); // closed: fails at once
    EXPECT_TRUE(port_.Close());               // closing again does nothing
}

TEST_F(SerialPortPty, OpensAtEveryOfferedSpeedAndLogsWhenDebugging) {
    for (std::uint32_t baud : CSerialPort::Speeds())
        EXPECT_TRUE(port_.Open(pty_.SlavePath(), baud)) << baud;
    // A pseudo-terminal has no modem lines: reported, without failing the open.
    EXPECT_FALSE(port_.SetLine(CSerialPort::kSetRts));
    EXPECT_FALSE(port_.SetLine(CSerialPort::kClrDtr));
    EXPECT_FALSE(port_.SetLine(7)); // no such code
    testing::internal::CaptureStderr();
    CDebugLog::SetEnabled(true);
    port_.Close();
    CDebugLog::SetEnabled(false);
    EXPECT_EQ("COM: Close\r\n", testing::internal::GetCapturedStderr());
}

TEST_F(SerialPortPty, VanishedDeviceEndsReadingAndFailsEveryWrite) {
    ASSERT_TRUE(port_.Open(pty_.SlavePath(), 9600));
    ASSERT_TRUE(pty_.Write("ab"));
    ASSERT_TRUE(port_.WaitForBytes(2));
    pty_.CloseMaster(); // the adapter is pulled out

    ASSERT_TRUE(port_.lost.Wait(CEvent::kInfinite));
    EXPECT_FALSE(port_.IsReading());
    EXPECT_TRUE(port_.IsOpen()); // still held until Close
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(port_.WriteByte('x'));
    {
        CScopedTimeScale realTime(1.0);
        EXPECT_FALSE(port_.WaitReply(100000000)); // would hang if it waited on
    }
    EXPECT_TRUE(port_.Close());
    EXPECT_EQ("ab", port_.Received());
}

// The device keeps sending while the port is closed, here from two threads at
// once as when a cancel meets the session's own close.
TEST_F(SerialPortPty, NoHookRunsOnceCloseHasReturned) {
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(port_.Open(pty_.SlavePath(), 115200)) << round;
        std::atomic<bool> pumping{true};
        std::thread pump([&] {
            while (pumping)
                write(pty_.Master(), "0123456789", 10);
        });
        const std::size_t before = port_.Count();
        ASSERT_TRUE(Eventually([&] { return port_.Count() > before; }));
        std::thread cancel([&] { port_.Close(); });
        EXPECT_TRUE(port_.Close());
        cancel.join();
        port_.expectQuiet = true;
        const std::size_t atClose = port_.Count();
        pumping = false;
        pump.join();
        EXPECT_EQ(atClose, port_.Count()) << round;
        EXPECT_EQ(0, port_.hooksWhileQuiet.load()) << round;
        port_.expectQuiet = false;
    }
}

TEST_F(SerialPortPty, DestructorEndsAnOpenSessionWithBytesFlowing) {
    auto port = std::make_unique<RecordingPort>();
    ASSERT_TRUE(port->Open(pty_.SlavePath(), 9600));
    ASSERT_TRUE(pty_.Write(std::string(1000, 'z')));
    port.reset(); // must neither hang nor run a hook on a destroyed object
}

TEST_F(SerialPortPty, CloseFromTheReceiveHookStopsDelivery) {
    port_.closeOn = 'X';
    ASSERT_TRUE(port_.Open(pty_.SlavePath(), 9600));
    ASSERT_TRUE(pty_.Write("abXcd"));
    ASSERT_TRUE(Eventually([&] { return !port_.IsOpen(); }));
    EXPECT_EQ("abX", port_.Received());
    ASSERT_TRUE(port_.Open(pty_.SlavePath(), 9600)); // the reader serves the next session
    ASSERT_TRUE(pty_.Write("e"));
    ASSERT_TRUE(port_.WaitForBytes(4));
    EXPECT_EQ("abXe", port_.Received());
}
