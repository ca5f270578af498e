#pragma once
// A hand-over between a test and a thread it watches (a simulator's log, a
// worker): one side sets the event, the other waits for it. Auto-reset: the
// wait that takes the signal clears it.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tornu::test {

class CEvent {
public:
    static constexpr int kInfinite = -1;

    void Set() {
        std::lock_guard lock(mutex_);
        set_ = true;
        changed_.notify_all();
    }

    // True when the event was (or became) set within timeoutMs.
    bool Wait(int timeoutMs = kInfinite) {
        std::unique_lock lock(mutex_);
        const auto isSet = [&] { return set_; };
        if (timeoutMs < 0)
            changed_.wait(lock, isSet);
        else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet))
            return false;
        set_ = false;
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

} // namespace tornu::test
