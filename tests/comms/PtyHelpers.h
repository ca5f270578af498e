#pragma once
// A pseudo-terminal pair for tests of the serial stack: the code under test
// opens SlavePath() as its port, the test plays the device on the master.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace tornu::test {

class PtyPair {
public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("cannot create a pseudo-terminal");
        char name[128];
        if (ptsname_r(master_, name, sizeof name) != 0)
            throw std::runtime_error("ptsname_r failed");
        slavePath_ = name;
        const int flags = fcntl(master_, F_GETFL);
        fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    // The device vanishes: the slave side sees a hang-up.
    void CloseMaster() {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

    // Writes every byte (a pseudo-terminal takes them at once, whatever the speed).
    bool Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{master_, POLLOUT, 0};
                poll(&p, 1, 100);
            } else if (!(n < 0 && errno == EINTR)) {
                return false;
            }
        }
        return true;
    }

    // The settings of the slave side as the code under test left them (a
    // master answers for its slave).
    termios SlaveSettings() const {
        termios t{};
        tcgetattr(master_, &t);
        return t;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

// Polls cond until it holds or a generous limit passes; for hand-overs that
// leave nothing to wait on. The limit only guards against a hang.
template <typename Cond> bool Eventually(Cond cond, int limitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        usleep(1000);
    }
    return true;
}

} // namespace tornu::test
