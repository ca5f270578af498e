#pragma once
// The serial port at the bottom of the communications stack. Its own thread is
// a reader: it sleeps until the port is opened, then waits for bytes and hands
// each one to the OnReceive hook. Writes happen on the caller's thread, one
// byte at a time. The port also carries the reply event the modem waits on.
//
// The port is opened at the start of each session and closed at its end; the
// reader thread lives as long as the object and sleeps between sessions.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comms/Event.h"
#include "comms/Thread.h"

namespace tornu {

class CSerialPort : protected CThread {
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

    // SetLine codes.
    enum LineCode : int {
        kSetXoff = 1,
        kSetXon = 2,
        kSetRts = 3,
        kClrRts = 4,
        kSetDtr = 5,
        kClrDtr = 6,
        kSetBreak = 8,
        kClrBreak = 9,
    };

    // OnCommEvent masks.
    static constexpr std::uint32_t kEvRxChar = 0x0001; // bytes arrived
    static constexpr std::uint32_t kEvErr = 0x0080;    // the device is gone; reading has stopped

    // The names and speeds offered in the modem port dialog.
    static const std::vector<std::string>& PortNames();
    static const std::vector<std::uint32_t>& Speeds();

    // "COM1".."COM16" (and COMn above) are /dev/ttyS0.. ; a name that begins
    // with "/" is a device path as it stands; any other name is used as given.
    static std::string DevicePath(const std::string& name);

    CSerialPort();
    // Closes the port and ends the reader thread.
    ~CSerialPort() override;

    // Opens the port for exclusive use: raw, the given speed and framing, no
    // flow control, DTR and RTS raised, queues flushed. An open port is closed
    // first. False when the device cannot be opened or configured.
    bool Open(const std::string& name, std::uint32_t baud, std::uint8_t byteSize = 8,
              std::uint8_t parity = kNoParity, std::uint8_t stopBits = kOneStopBit);
    // Why the last Open failed, for the operator: the port is missing, busy
    // (with the program holding it when it can be found), not a serial
    // device, or not permitted; empty after a successful Open.
    const std::string& OpenError() const { return openError_; }
    // The processes other than this one that hold `path` open, as
    // "name (pid)", comma-separated; empty when none can be found.
    static std::string Holders(const std::string& path);

    // Releases a WaitReply waiter, purges both queues, stops reading and puts
    // back the settings the port had. When it returns (also when another
    // thread was closing at the same time) no hook runs any more for the
    // session, unless it was called from a hook. Always true.
    bool Close();

    bool IsOpen() const;
    // True while the reader delivers the current session's bytes; false once
    // the device has gone (unplugged) or the port is closed.
    bool IsReading() const;

    // False when the port is closed, the device has gone, or the byte could not
    // be sent within the port's write time-out.
    bool WriteByte(std::uint8_t byte);

    // Waits in steps of 100 ms (scaled) for the reply event, timeoutMs / 100
    // steps but at least one. True when the event was set; false on time-out,
    // at once when the port is closed or its device has gone.
    bool WaitReply(int timeoutMs);

    // Raises or drops a modem-control line (LineCode). False when the port is
    // closed or the device has no such line (a pseudo-terminal).
    bool SetLine(int code);

protected:
    // Reader-thread hooks; the base versions do nothing. Whatever they store
    // for another thread is handed over through ReplyEvent.
    virtual void OnReceive(std::uint8_t byte);
    virtual void OnCommEvent(std::uint32_t mask);

    // Auto-reset: set by a derived class when a reply has arrived, and by Close.
    CEvent& ReplyEvent() { return replyEvent_; }

    // Closes the port and ends the reader thread. A class that overrides the
    // hooks calls this first in its destructor, so that no hook runs on a
    // half-destroyed object; later calls do nothing. (Destroying an object
    // of a class derived further while bytes flow still races with a hook
    // call: close the port first.)
    void Shutdown();

private:
    struct Session;

    unsigned Run() override; // the reader

    bool StartReader();
    std::shared_ptr<Session> OpenDevice(const std::string& path, std::uint32_t baud,
                                        unsigned frame);
    void Install(const std::shared_ptr<Session>& s);
    std::shared_ptr<Session> CurrentSession() const;
    std::shared_ptr<Session> ClaimSession();
    bool OnReaderThread() const;
    void ReadLoop(Session& s);
    bool DeliverBytes(Session& s);
    void EndSession(const std::shared_ptr<Session>& s);

    std::string openError_; // the opening thread's own
    mutable std::mutex sessionMutex_; // guards session_, Session::claimed and ::closing
    std::shared_ptr<Session> session_;
    std::atomic<bool> running_{true};
    std::atomic<std::thread::id> readerId_{};
    CEvent readerReady_{true};
    CEvent startEvent_{false};
    CEvent replyEvent_{false};
};

} // namespace tornu
