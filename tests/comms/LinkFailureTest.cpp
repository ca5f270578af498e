// Failures of the port and of the call told apart: a port held elsewhere, a
// device that vanishes under a call, and the carrier reported lost between
// packets, each seen at once.
#include "comms/Modem.h"
#include "comms/PacketChannel.h"
#include "comms/PacketChannelPool.h"
#include "comms/TimeScale.h"

#include "PtyHelpers.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

namespace tornu::test {
namespace {

TEST(LinkFailure, APortHeldElsewhereIsBusy) {
    PtyPair pty;
    CSerialPort holder;
    ASSERT_TRUE(holder.Open(pty.SlavePath(), 9600));
    CSerialPort second;
    EXPECT_FALSE(second.Open(pty.SlavePath(), 9600));
    EXPECT_EQ(second.OpenError(), "порт " + pty.SlavePath() + " занят другой программой");
    EXPECT_TRUE(holder.OpenError().empty());
    holder.Close();
    EXPECT_TRUE(second.Open(pty.SlavePath(), 9600));
}

TEST(LinkFailure, ALostCallWakesTheWorkerAtOnce) {
    CScopedTimeScale fast(0.01);
    for (const bool unplugged : {false, true}) {
        SCOPED_TRACE(unplugged ? "device gone" : "no carrier");
        PtyPair pty;
        CPacketChannelPool pool;
        CModem modem;
        TempDir dir;
        modem.SetLogFolder(dir.Path());
        ASSERT_TRUE(pool.Create()->Attach(&modem));
        ASSERT_TRUE(modem.Open(pty.SlavePath(), 9600));
        ASSERT_TRUE(modem.Connect(nullptr, true));
        ASSERT_TRUE(modem.IsDataMode());
        if (unplugged)
            pty.CloseMaster();
        else
            pty.Write("\r\nNO CARRIER\r\n");
        // The wait a worker would be in ends long before its time-out.
        EXPECT_TRUE(modem.GetChannel()->WaitPacket(60000));
        EXPECT_EQ(modem.LinkLost(), unplugged ? CModem::kDeviceGone : CModem::kCarrierLost);
        EXPECT_FALSE(modem.IsDataMode());
        // Nothing hangs: a data write returns (failed or not, as the reader may
        // or may not have seen the loss yet), commands fail, waits end.
        modem.Write("abc", 3);
        EXPECT_FALSE(modem.SendAndWait("at", 1000, CModemReplyParser::kOk));
        EXPECT_TRUE(modem.HangUp(true));
        EXPECT_TRUE(modem.Close());
        EXPECT_NE(ReadBytes(dir / CModem::LogFileName(pty.SlavePath())).find("LINK LOST"),
                  std::string::npos);
    }
}

} // namespace
} // namespace tornu::test
