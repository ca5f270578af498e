#pragma once
// Frames as the configurator writes them and as the simulator answers.
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/TermMessage.h"
#include "sim/PtyRunner.h"
#include "sim/Simulator.h"
#include "sim/TerminalState.h"

namespace tornu::test {

// "~" text CRC CR, as the configurator sends a message.
inline std::string ConfiguratorFrame(const CTermMessage& message) {
    std::string text;
    message.BuildText(text);
    return "~" + text + HexByte(Crc8(text)) + "\r";
}

struct SentFrame {
    CTermMessage message;
    bool checkOk = false;
};

// The frames in a run of bytes from the simulator; bytes outside frames are skipped.
inline std::vector<SentFrame> FramesIn(const std::string& bytes) {
    std::vector<SentFrame> frames;
    std::size_t start = 0;
    while ((start = bytes.find('~', start)) != std::string::npos) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            break;
        const std::string body = bytes.substr(start + 1, end - start - 1);
        SentFrame frame;
        if (body.size() >= 2) {
            const std::string text = body.substr(0, body.size() - 2);
            frame.checkOk = body.substr(body.size() - 2) == HexByte(Crc8(text));
            frame.message.ReadText(text);
        }
        frames.push_back(frame);
        start = end;
    }
    return frames;
}

inline std::string Joined(const std::vector<CSimulator::Chunk>& chunks) {
    std::string bytes;
    for (const auto& chunk : chunks)
        bytes += chunk.bytes;
    return bytes;
}

// The simulator playing `state` on a pseudo-terminal linked at a path, on a
// thread of its own until the object goes; then `state` holds what was written.
class SimOnPty {
public:
    explicit SimOnPty(CTerminalState& state, std::function<void(const std::string&)> log =
                                                 [](const std::string&) {})
        : simulator_(state, std::move(log)), runner_(simulator_) {}
    // A fleet behind the modem instead of one terminal.
    explicit SimOnPty(CSimFleet& fleet, std::function<void(const std::string&)> log =
                                            [](const std::string&) {})
        : simulator_(fleet, std::move(log)), runner_(simulator_) {}
    ~SimOnPty() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    bool Start(const std::string& link, std::string& error) {
        if (!runner_.Open(link, error))
            return false;
        thread_ = std::thread([this] { runner_.Run(stop_); });
        return true;
    }

private:
    CSimulator simulator_;
    CPtyRunner runner_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace tornu::test
