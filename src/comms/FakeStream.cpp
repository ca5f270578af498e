#include "comms/FakeStream.h"

#include <algorithm>

namespace tornu {

void CFakeStream::When(std::string written, std::string reply, int times) {
    std::lock_guard lock(mutex_);
    rules_.push_back({std::move(written), std::move(reply), times});
}

void CFakeStream::Queue(std::string bytes, int delayMs) {
    std::lock_guard lock(mutex_);
    QueueLocked(std::move(bytes), now_ + std::max(delayMs, 0));
}

void CFakeStream::QueueLocked(std::string bytes, std::int64_t at) {
    if (bytes.empty())
        return;
    auto after =
        std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.at > at; });
    pending_.insert(after, {at, std::move(bytes)});
    changed_.notify_all();
}

void CFakeStream::Unplug() {
    std::lock_guard lock(mutex_);
    gone_ = true;
    changed_.notify_all();
}

void CFakeStream::HoldNextIdleRead() {
    std::lock_guard lock(mutex_);
    hold_ = true;
}

void CFakeStream::WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return held_; });
}

void CFakeStream::OnWrite(std::function<void(std::string_view)> hook) {
    std::lock_guard lock(mutex_);
    onWrite_ = std::move(hook);
}

std::string CFakeStream::Written() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const std::string& w : writes_)
        all += w;
    return all;
}

std::vector<std::string> CFakeStream::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

bool CFakeStream::Dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
}

bool CFakeStream::Rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}

bool CFakeStream::DeliverDue(std::string& into) {
    bool delivered = false;
    while (!pending_.empty() && pending_.front().at <= now_) {
        into += pending_.front().bytes;
        pending_.pop_front();
        delivered = true;
    }
    return delivered;
}

StreamStatus CFakeStream::Read(std::string& into, int timeoutMs) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (interrupted_) {
            interrupted_ = false;
            // A held read stands for a call that lasts until it is cancelled:
            // a cancel that comes before the hold ends it too, or the wait
            // after it would hold for ever.
            hold_ = false;
            return StreamStatus::kInterrupted;
        }
        if (DeliverDue(into))
            return StreamStatus::kData;
        if (gone_)
            return StreamStatus::kGone;
        const bool forever = timeoutMs < 0;
        if (!pending_.empty() && (forever || pending_.front().at <= now_ + timeoutMs)) {
            now_ = pending_.front().at;
            continue;
        }
        if (!hold_) {
            if (!forever)
                now_ += timeoutMs;
            return StreamStatus::kTimeOut;
        }
        hold_ = false;
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] {
            return interrupted_ || gone_ || (!pending_.empty() && pending_.front().at <= now_);
        });
        held_ = false;
    }
}

bool CFakeStream::Write(const void* bytes, std::size_t length) {
    std::function<void(std::string_view)> hook;
    std::string written(static_cast<const char*>(bytes), length);
    {
        std::lock_guard lock(mutex_);
        if (gone_)
            return false;
        writes_.push_back(written);
        for (Rule& rule : rules_) {
            if (rule.times == 0 || written.find(rule.written) == std::string::npos)
                continue;
            if (rule.times > 0)
                --rule.times;
            QueueLocked(rule.reply, now_);
            break;
        }
        hook = onWrite_;
    }
    if (hook)
        hook(written);
    return true;
}

void CFakeStream::Purge() {
    std::lock_guard lock(mutex_);
    std::erase_if(pending_, [&](const Pending& p) { return p.at <= now_; });
}

bool CFakeStream::SetDtr(bool on) {
    std::lock_guard lock(mutex_);
    dtr_ = on;
    return true;
}

bool CFakeStream::SetRts(bool on) {
    std::lock_guard lock(mutex_);
    rts_ = on;
    return true;
}

bool CFakeStream::Sleep(int ms) {
    std::lock_guard lock(mutex_);
    if (interrupted_) {
        interrupted_ = false;
        return false;
    }
    now_ += std::max(ms, 0);
    return true;
}

std::int64_t CFakeStream::NowMs() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void CFakeStream::Interrupt() {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
}

} // namespace tornu
