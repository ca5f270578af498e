#pragma once
// Portable stand-in for the Win32 events the threads hand over with:
// auto-reset (one waiter takes the signal) and manual-reset (stays set until Reset).
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace tornu {

class CEvent {
public:
    static constexpr int kInfinite = -1;

    explicit CEvent(bool manualReset = false, bool initiallySet = false);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;
    ~CEvent();

    void Set();
    void Reset();
    bool IsSet() const;

    // True when the event was (or became) set within timeoutMs; kInfinite waits forever.
    // An auto-reset event is reset by the wait that takes it.
    bool Wait(int timeoutMs = kInfinite);

    // Waits until any of the events is set; returns its index, or -1 on time-out.
    // Only the event returned is taken (reset, when auto-reset).
    static int WaitAny(const std::vector<CEvent*>& events, int timeoutMs = kInfinite);

private:
    struct Waiter;
    bool TryTakeLocked();
    void AddWaiter(const std::shared_ptr<Waiter>& w);
    void RemoveWaiter(const std::shared_ptr<Waiter>& w);

    mutable std::mutex mutex_;
    std::condition_variable cond_;
    bool manualReset_;
    bool set_;
    std::vector<std::shared_ptr<Waiter>> waiters_; // WaitAny waiters
};

} // namespace tornu
