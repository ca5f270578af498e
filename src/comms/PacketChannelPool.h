#pragma once
// Creates the packet channels and deletes them when their last reference goes;
// deleting the pool deletes every channel still alive.
#include <cstddef>
#include <mutex>
#include <vector>

namespace tornu {

class CPacketChannel;

class CPacketChannelPool {
public:
    CPacketChannelPool() = default;
    CPacketChannelPool(const CPacketChannelPool&) = delete;
    CPacketChannelPool& operator=(const CPacketChannelPool&) = delete;
    ~CPacketChannelPool();

    // A new channel holding one reference, for the link it is attached to.
    CPacketChannel* Create();
    std::size_t Count() const;

private:
    friend class CPacketChannel;
    // The channel's last reference went.
    void Delete(CPacketChannel* channel);

    mutable std::mutex lock_; // guards channels_
    std::vector<CPacketChannel*> channels_;
};

} // namespace tornu
