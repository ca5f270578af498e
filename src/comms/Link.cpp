#include "comms/Link.h"

#include "comms/PacketChannel.h"

namespace tornu {

CLink::CLink(std::string name) : name_(std::move(name)) {}

CLink::~CLink() {
    DetachChannel();
}

void CLink::DetachChannel() {
    CPacketChannel* channel = channel_.exchange(nullptr, std::memory_order_acq_rel);
    if (!channel)
        return;
    channel->DetachLink(this);
    channel->Release();
}

} // namespace tornu
