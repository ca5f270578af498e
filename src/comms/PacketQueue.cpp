#include "comms/PacketQueue.h"

namespace tornu {

CPacketQueue::CPacketQueue(std::size_t capacity) : slots_(capacity + 1) {}

void CPacketQueue::Push(const char* bytes, std::size_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    slots_[head_].assign(bytes, length);
    head_ = Next(head_);
    if (head_ == tail_) {
        slots_[tail_] = std::string();
        tail_ = Next(tail_);
    }
}

bool CPacketQueue::Pop(std::string& packet) {
    std::lock_guard<std::mutex> guard(lock_);
    if (head_ == tail_)
        return false;
    packet = std::move(slots_[tail_]);
    slots_[tail_] = std::string();
    tail_ = Next(tail_);
    return true;
}

void CPacketQueue::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    for (std::string& slot : slots_)
        slot = std::string();
    head_ = tail_ = 0;
}

std::size_t CPacketQueue::Count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return (head_ + slots_.size() - tail_) % slots_.size();
}

} // namespace tornu
