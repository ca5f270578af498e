#include "comms/PacketChannelPool.h"

#include "comms/PacketChannel.h"

#include <algorithm>

namespace tornu {

CPacketChannelPool::~CPacketChannelPool() {
    std::vector<CPacketChannel*> remaining;
    {
        std::lock_guard<std::mutex> guard(lock_);
        remaining.swap(channels_);
    }
    for (CPacketChannel* channel : remaining)
        delete channel;
}

CPacketChannel* CPacketChannelPool::Create() {
    auto* channel = new CPacketChannel(this);
    std::lock_guard<std::mutex> guard(lock_);
    channels_.push_back(channel);
    return channel;
}

std::size_t CPacketChannelPool::Count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return channels_.size();
}

void CPacketChannelPool::Delete(CPacketChannel* channel) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = std::find(channels_.begin(), channels_.end(), channel);
        if (it == channels_.end())
            return; // already deleted with the pool
        channels_.erase(it);
    }
    delete channel;
}

} // namespace tornu
