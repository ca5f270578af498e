// The serial port on a pseudo-terminal: why an open fails, bytes both ways
// in whole buffers, a wait ended from another thread, a device that goes.
#include "comms/SerialPort.h"

#include "comms/DebugLog.h"
#include "comms/TimeScale.h"

#include "PtyHelpers.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

using namespace tornu;
using tornu::test::PtyPair;

namespace {

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

// Reads from the port until `count` bytes have come (or it stops giving any).
std::string ReadAtLeast(CSerialPort& port, std::size_t count) {
    std::string got;
    while (got.size() < count && port.Read(got, 60000) == StreamStatus::kData) {
    }
    return got;
}

} // namespace

TEST(SerialPort, OpenFailuresSayWhy) {
    test::TempDir dir;
    PtyPair pty;
    test::WriteBytes(dir / "plain", "x");
    CSerialPort holder;
    ASSERT_TRUE(holder.Open(pty.SlavePath(), 9600));
    const std::pair<CResult, std::string> cases[] = {
        {CSerialPort().Open(dir / "missing", 9600), "порт " + (dir / "missing") + " не найден"},
        {CSerialPort().Open(dir / "plain", 9600),
         dir / "plain" + " не является последовательным портом"},
        {CSerialPort().Open(pty.SlavePath(), 9600),
         "порт " + pty.SlavePath() + " занят другой программой"},
        {CSerialPort().Open(pty.SlavePath(), 0),
         "порт " + pty.SlavePath() + " не удалось настроить"},
        {CSerialPort().Open(pty.SlavePath(), 9600, 9),
         "порт " + pty.SlavePath() + " не удалось настроить"},
    };
    for (const auto& [result, why] : cases) {
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.Error(), why);
    }
    holder.Close();
    CSerialPort port;
    std::string into;
    EXPECT_EQ(port.Read(into, 60000), StreamStatus::kGone); // closed: at once
    EXPECT_FALSE(port.Write("x"));
    EXPECT_TRUE(port.Open(pty.SlavePath(), 9600)); // the holder let go
}

TEST(SerialPort, OpensAtEveryOfferedSpeedAndPutsTheSettingsBack) {
    PtyPair pty;
    const termios before = pty.SlaveSettings();
    ASSERT_TRUE(before.c_lflag & ICANON);
    CSerialPort port;
    for (std::uint32_t baud : CSerialPort::Speeds())
        EXPECT_TRUE(port.Open(pty.SlavePath(), baud)) << baud;
    EXPECT_FALSE(pty.SlaveSettings().c_lflag & ICANON);
    // A pseudo-terminal has no modem lines: reported, without failing the open.
    EXPECT_FALSE(port.SetDtr(false));
    testing::internal::CaptureStderr();
    CDebugLog::SetEnabled(true);
    port.Close();
    CDebugLog::SetEnabled(false);
    EXPECT_EQ("COM: Close\r\n", testing::internal::GetCapturedStderr());
    const termios after = pty.SlaveSettings();
    EXPECT_EQ(std::tuple(after.c_lflag, after.c_iflag, after.c_oflag, cfgetospeed(&after)),
              std::tuple(before.c_lflag, before.c_iflag, before.c_oflag, cfgetospeed(&before)));
}

// No byte translated, eaten or added either way; a buffer far above what a
// read takes at once goes out in one call.
TEST(SerialPort, RawBytesBothWaysInWholeBuffers) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));
    const std::string bytes = AllByteValues();
    ASSERT_TRUE(pty.Write(bytes.substr(0, 100)));
    ASSERT_TRUE(pty.Write(bytes.substr(100)));
    EXPECT_EQ(ReadAtLeast(port, bytes.size()), bytes);

    std::string big;
    for (int i = 0; i < 16; ++i)
        big += bytes;
    std::thread drain([&] {
        std::string got;
        while (got.size() < big.size()) {
            char chunk[1024];
            const ssize_t n = read(pty.Master(), chunk, sizeof chunk);
            if (n > 0)
                got.append(chunk, static_cast<std::size_t>(n));
            else if (!(n < 0 && (errno == EAGAIN || errno == EINTR)))
                break;
        }
        EXPECT_EQ(got, big);
    });
    EXPECT_TRUE(port.Write(big));
    drain.join();
}

TEST(SerialPort, InterruptEndsAWaitFromAnotherThread) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 9600));
    std::string into;
    port.Interrupt(); // before the wait: the next one ends
    EXPECT_EQ(port.Read(into, 600000), StreamStatus::kInterrupted);
    port.Interrupt();
    EXPECT_FALSE(port.Sleep(600000));
    StreamStatus waited = StreamStatus::kData;
    std::thread worker([&] { waited = port.Read(into, -1); }); // would wait for ever
    port.Interrupt();
    worker.join();
    EXPECT_EQ(waited, StreamStatus::kInterrupted);
    EXPECT_TRUE(into.empty());
}

TEST(SerialPort, AVanishedDeviceIsGoneForGood) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 9600));
    ASSERT_TRUE(pty.Write("ab"));
    EXPECT_EQ(ReadAtLeast(port, 2), "ab");
    pty.CloseMaster(); // the adapter is pulled out
    std::string into;
    EXPECT_EQ(port.Read(into, -1), StreamStatus::kGone);
    EXPECT_EQ(port.Read(into, -1), StreamStatus::kGone);
    EXPECT_FALSE(port.Write("x"));
    EXPECT_TRUE(port.IsOpen()); // still held until Close
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

TEST(TimeScale, ScalesDurationsButNeverToZero) {
    EXPECT_EQ(1.0, CTimeScale::Get());
    const std::int64_t before = CTimeScale::ScaledNowMs();
    CScopedTimeScale scale(0.01);
    EXPECT_LE(before, CTimeScale::ScaledNowMs()); // no jump back when the factor changes
    EXPECT_EQ(600, CTimeScale::Ms(60000));
    EXPECT_EQ(1, CTimeScale::Ms(1));
    EXPECT_EQ(-1, CTimeScale::Ms(-1)); // an infinite wait stays infinite
    CTimeScale::Set(0);                // ignored, as every factor that is not positive
    CTimeScale::Set(-3);
    EXPECT_EQ(0.01, CTimeScale::Get());
}
