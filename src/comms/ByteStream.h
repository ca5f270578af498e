#pragma once
// A byte channel to the modem: the serial port, the modem's data call, or an
// in-memory fake in tests. Every protocol wait and pause goes through it, so
// that the stream decides what time is: the serial port runs on the scaled
// clock (CTimeScale), the fake on a virtual one that a test of a 60-second
// time-out passes in no time.
//
// Times are protocol milliseconds (unscaled). A stream is used from one
// thread, except Interrupt, which any thread may call.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tornu {

enum class StreamStatus {
    kData,        // bytes were appended
    kTimeOut,     // nothing came in the time given
    kGone,        // the device has gone (unplugged, the far end closed); for good
    kInterrupted, // Interrupt was called
};

class IByteStream {
public:
    virtual ~IByteStream() = default;

    // Appends what has arrived, waiting up to timeoutMs for the first byte
    // (0: only what is there now).
    virtual StreamStatus Read(std::string& into, int timeoutMs) = 0;
    // Writes the whole buffer, or fails.
    virtual bool Write(const void* bytes, std::size_t length) = 0;
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Drops what was received and not yet read, and what is not yet sent.
    virtual void Purge() = 0;
    // The modem-control lines; false where the device has none.
    virtual bool SetDtr(bool on) = 0;
    virtual bool SetRts(bool on) = 0;
    // Pauses for ms; false when interrupted.
    virtual bool Sleep(int ms) = 0;
    // The stream's clock, in protocol milliseconds from an arbitrary start.
    virtual std::int64_t NowMs() const = 0;
    // From any thread: the wait under way, or the next one when none is,
    // returns kInterrupted (Sleep false) at once. One call ends one wait.
    virtual void Interrupt() = 0;
};

} // namespace tornu
