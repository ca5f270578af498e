#pragma once
// Received packets waiting for the worker: a ring of capacity + 1 slots under
// its own lock. A push into a full ring drops the oldest packet.
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace tornu {

class CPacketQueue {
public:
    explicit CPacketQueue(std::size_t capacity);
    CPacketQueue(const CPacketQueue&) = delete;
    CPacketQueue& operator=(const CPacketQueue&) = delete;

    // Copies the bytes into the newest slot.
    void Push(const char* bytes, std::size_t length);
    // Moves the oldest packet out; false when empty.
    bool Pop(std::string& packet);
    // Drops every packet and frees its buffer.
    void Clear();
    std::size_t Count() const;

private:
    std::size_t Next(std::size_t index) const { return (index + 1) % slots_.size(); }

    mutable std::mutex lock_;
    std::vector<std::string> slots_;
    std::size_t head_ = 0; // next slot to fill
    std::size_t tail_ = 0; // oldest packet; equal to head_ when empty
};

} // namespace tornu
