#pragma once
// Puts the simulator on a pseudo-terminal: the simulator holds the master, the
// configurator opens the slave through a symbolic link. When the configurator
// closes its port the master hangs up, and the simulator drops any call.
#include <atomic>
#include <functional>
#include <string>

#include "sim/Simulator.h"

namespace tornu {

class CPtyRunner {
public:
    explicit CPtyRunner(CSimulator& simulator) : simulator_(simulator) {}
    ~CPtyRunner() { Close(); }
    CPtyRunner(const CPtyRunner&) = delete;
    CPtyRunner& operator=(const CPtyRunner&) = delete;

    // Creates the pseudo-terminal, puts its slave in raw mode and links
    // linkPath to it (a stale symbolic link there is replaced; any other file
    // is left alone and the open fails). False with a reason.
    bool Open(const std::string& linkPath, std::string& error);
    // Moves bytes and runs the simulator's timers until stop is set.
    void Run(const std::atomic<bool>& stop);
    // Removes the link (when it is still ours) and closes the master.
    void Close();

    const std::string& SlavePath() const { return slavePath_; }
    // Called on the running thread whenever a call has ended.
    std::function<void()> onCallEnded;

private:
    void Flush();
    bool WriteAll(const char* bytes, std::size_t length);

    CSimulator& simulator_;
    int master_ = -1;
    bool peerOpen_ = false;
    std::string slavePath_;
    std::string linkPath_;
};

} // namespace tornu
