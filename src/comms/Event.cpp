#include "comms/Event.h"

#include <algorithm>

namespace tornu {

// A WaitAny caller sleeps on its own condition; each event it waits on pokes it.
struct CEvent::Waiter {
    std::mutex mutex;
    std::condition_variable cond;
    bool poked = false;
};

CEvent::CEvent(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

CEvent::~CEvent() = default;

void CEvent::Set() {
    std::vector<std::shared_ptr<Waiter>> toPoke;
    {
        std::lock_guard lock(mutex_);
        set_ = true;
        toPoke = waiters_;
    }
    if (manualReset_)
        cond_.notify_all();
    else
        cond_.notify_one();
    // Poked without our lock held: no lock is held while another is taken.
    for (auto& w : toPoke) {
        {
            std::lock_guard lock(w->mutex);
            w->poked = true;
        }
        w->cond.notify_all();
    }
}

void CEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool CEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool CEvent::TryTakeLocked() {
    if (!set_)
        return false;
    if (!manualReset_)
        set_ = false;
    return true;
}

bool CEvent::Wait(int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (timeoutMs < 0) {
        cond_.wait(lock, [this] { return set_; });
    } else if (!cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; })) {
        return false;
    }
    return TryTakeLocked();
}

void CEvent::AddWaiter(const std::shared_ptr<Waiter>& w) {
    std::lock_guard lock(mutex_);
    waiters_.push_back(w);
}

void CEvent::RemoveWaiter(const std::shared_ptr<Waiter>& w) {
    std::lock_guard lock(mutex_);
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), w), waiters_.end());
}

int CEvent::WaitAny(const std::vector<CEvent*>& events, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto waiter = std::make_shared<Waiter>();
    for (CEvent* e : events)
        e->AddWaiter(waiter);
    int result = -1;
    for (;;) {
        {
            std::lock_guard lock(waiter->mutex);
            waiter->poked = false;
        }
        for (std::size_t i = 0; i < events.size() && result < 0; ++i) {
            std::lock_guard lock(events[i]->mutex_);
            if (events[i]->TryTakeLocked())
                result = static_cast<int>(i);
        }
        if (result >= 0)
            break;
        std::unique_lock lock(waiter->mutex);
        if (timeoutMs < 0) {
            waiter->cond.wait(lock, [&] { return waiter->poked; });
        } else if (!waiter->cond.wait_until(lock, deadline, [&] { return waiter->poked; })) {
            break;
        }
    }
    for (CEvent* e : events)
        e->RemoveWaiter(waiter);
    return result;
}

} // namespace tornu
