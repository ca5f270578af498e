#pragma once
// Wakes one waiting thread when any of several exchanges has something to
// tell: a status line, a reply to apply, its end. A waiter notes Count(),
// looks at every exchange, then waits for the count to move on, so that
// nothing said between the look and the wait is missed.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tornu {

class CActivitySignal {
public:
    void Notify() {
        {
            std::lock_guard lock(mutex_);
            ++count_;
        }
        changed_.notify_all();
    }
    std::uint64_t Count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    // Returns once the count is past `seen`, or after `ms` real milliseconds.
    void Wait(std::uint64_t seen, int ms) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return count_ != seen; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t count_ = 0;
};

} // namespace tornu
