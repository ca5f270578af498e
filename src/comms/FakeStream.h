#pragma once
// A scripted byte stream for tests: when these bytes are written, those are
// read back; bytes queued, now or later; the device pulled out. Time is
// virtual: a read with nothing to deliver moves the clock on by its time-out
// (or to the next queued bytes) and returns at once, and Sleep moves it by
// its pause, so that a 60-second time-out takes no time at all.
//
// Every call may come from any thread. For a cancel test one read can be
// held instead: it then really waits until bytes come, the device goes or
// Interrupt is called.
#include "comms/ByteStream.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tornu {

class CFakeStream : public IByteStream {
public:
    static constexpr int kAlways = -1;

    // Each write that contains `written` queues `reply` at once. Rules are
    // tried in order; the first with uses left wins; `times` uses, or kAlways.
    // An empty reply plays a reply that is lost.
    void When(std::string written, std::string reply, int times = kAlways);
    // Bytes to read once the clock has moved on by delayMs.
    void Queue(std::string bytes, int delayMs = 0);
    // The device goes: what has come is still read, then kGone; writes fail.
    void Unplug();
    // The next read with nothing to deliver waits for real instead of moving
    // the clock.
    void HoldNextIdleRead();
    // Returns once a read is held waiting (a hand-over, not a pause).
    void WaitUntilHeld();
    // Called after the rules with each write, on the writing thread.
    void OnWrite(std::function<void(std::string_view)> hook);

    // Everything written, in order.
    std::string Written() const;
    // Each buffer written, in order.
    std::vector<std::string> Writes() const;
    bool Dtr() const;
    bool Rts() const;

    StreamStatus Read(std::string& into, int timeoutMs) override;
    using IByteStream::Write;
    bool Write(const void* bytes, std::size_t length) override;
    void Purge() override;
    bool SetDtr(bool on) override;
    bool SetRts(bool on) override;
    bool Sleep(int ms) override;
    std::int64_t NowMs() const override;
    void Interrupt() override;

private:
    struct Rule {
        std::string written;
        std::string reply;
        int times;
    };
    struct Pending {
        std::int64_t at;
        std::string bytes;
    };

    void QueueLocked(std::string bytes, std::int64_t at);
    bool DeliverDue(std::string& into);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Rule> rules_;
    std::deque<Pending> pending_; // by time, oldest first
    std::vector<std::string> writes_;
    std::function<void(std::string_view)> onWrite_;
    std::int64_t now_ = 0;
    bool gone_ = false;
    bool interrupted_ = false;
    bool hold_ = false;
    bool held_ = false;
    bool dtr_ = false;
    bool rts_ = false;
};

} // namespace tornu
