#pragma once
// The serial port at the bottom of the communications stack: a POSIX
// terminal device in raw mode. Reads and writes happen on the caller's
// thread (the exchange worker): a read waits for what has arrived and takes
// it in one go, a write hands over the whole buffer. Another thread ends a
// wait with Interrupt.
//
// Waits and pauses run on the scaled clock (CTimeScale), so that tests run
// the program's long time-outs against the simulator in a fraction of the time.
#include "comms/ByteStream.h"
#include "settings/Result.h"

#include <cstdint>
#include <string>
#include <termios.h>
#include <vector>

namespace tornu {

class CSerialPort : public IByteStream {
public:
    // Parity and stop-bit codes as the settings and callers give them.
    enum Parity : std::uint8_t {
        kNoParity = 0,
        kOddParity,
        kEvenParity,
        kMarkParity,
        kSpaceParity
    };
    enum StopBits : std::uint8_t { kOneStopBit = 0, kOne5StopBits, kTwoStopBits };

    // The names and speeds offered in the modem port dialog.
    static const std::vector<std::string>& PortNames();
    static const std::vector<std::uint32_t>& Speeds();

    // "COM1".."COM16" (and COMn above) are /dev/ttyS0.. ; a name that begins
    // with "/" is a device path as it stands; any other name is used as given.
    static std::string DevicePath(const std::string& name);
    // The processes other than this one that hold `path` open, as
    // "name (pid)", comma-separated; empty when none can be found.
    static std::string Holders(const std::string& path);

    CSerialPort();
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the port for exclusive use: raw, the given speed and framing, no
    // flow control, DTR and RTS raised, queues flushed. An open port is closed
    // first. A failure says why, for the operator: the port is missing, busy
    // (with the program holding it when it can be found), not a serial
    // device, not permitted, or cannot be configured.
    CResult Open(const std::string& name, std::uint32_t baud, std::uint8_t byteSize = 8,
                 std::uint8_t parity = kNoParity, std::uint8_t stopBits = kOneStopBit);
    // Purges both queues and puts back the settings the port had.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // kGone once the device has gone (and while the port is closed).
    StreamStatus Read(std::string& into, int timeoutMs) override;
    // False when the port is closed, the device has gone, or the buffer could
    // not be handed over within the port's write time-out.
    using IByteStream::Write;
    bool Write(const void* bytes, std::size_t length) override;
    void Purge() override;
    // A pseudo-terminal has no such lines: false, and no reason to give up.
    bool SetDtr(bool on) override;
    bool SetRts(bool on) override;
    bool Sleep(int ms) override;
    std::int64_t NowMs() const override;
    void Interrupt() override;

private:
    // Waits for the wake-up or for `events` on the device; 1 device ready,
    // 0 time-out, -1 interrupted, -2 the device reports only a hang-up or an error.
    int WaitFor(short events, int timeoutMs);
    bool ChangeLines(unsigned long request, int bits);

    int fd_ = -1;
    int wakeFd_ = -1; // eventfd: readable after Interrupt, for the object's life
    bool gone_ = false;
    termios saved_{};
};

} // namespace tornu
