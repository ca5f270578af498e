#include "sim/PtyRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "comms/TimeScale.h"

namespace tornu {

namespace {

constexpr int kIdlePollMs = 100;
constexpr int kHangUpPauseMs = 20; // a closed slave keeps the master readable
constexpr useconds_t kSplitPauseUs = 500;

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool MakeSlaveRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios t{};
    const bool ok = tcgetattr(fd, &t) == 0 && (cfmakeraw(&t), tcsetattr(fd, TCSANOW, &t) == 0);
    close(fd);
    return ok;
}

// Only a symbolic link may be replaced: the path might name something real.
bool ClearLinkPath(const std::string& path, std::string& error) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return true;
    if (!S_ISLNK(info.st_mode)) {
        error = path + " exists and is not a symbolic link";
        return false;
    }
    if (unlink(path.c_str()) != 0) {
        error = Reason("cannot remove " + path);
        return false;
    }
    return true;
}

} // namespace

bool CPtyRunner::Open(const std::string& linkPath, std::string& error) {
    Close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        error = Reason("cannot create a pseudo-terminal");
        Close();
        return false;
    }
    slavePath_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (!MakeSlaveRaw(slavePath_)) {
        error = Reason("cannot set up " + slavePath_);
        Close();
        return false;
    }
    if (!ClearLinkPath(linkPath, error)) {
        Close();
        return false;
    }
    if (symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
        error = Reason("cannot link " + linkPath);
        Close();
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

void CPtyRunner::Close() {
    if (!linkPath_.empty()) {
        char target[256];
        const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_)
            unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

void CPtyRunner::Run(const std::atomic<bool>& stop) {
    while (!stop && master_ >= 0) {
        const std::int64_t now = CTimeScale::NowMs();
        simulator_.Tick(now);
        Flush();
        const std::int64_t deadline = simulator_.NextDeadline();
        const int wait =
            deadline < 0
                ? kIdlePollMs
                : static_cast<int>(std::clamp<std::int64_t>(deadline - now, 0, kIdlePollMs));
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, wait) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = (p.revents & POLLIN) ? read(master_, buffer, sizeof buffer) : -1;
        if (n > 0) {
            peerOpen_ = true;
            simulator_.Receive(std::string_view(buffer, static_cast<std::size_t>(n)),
                               CTimeScale::NowMs());
            Flush();
        } else if (p.revents & (POLLHUP | POLLERR) || (n < 0 && errno == EIO)) {
            if (std::exchange(peerOpen_, false))
                simulator_.PeerClosed();
            usleep(std::min(wait, kHangUpPauseMs) * 1000);
        }
    }
}

void CPtyRunner::Flush() {
    for (const CSimulator::Chunk& chunk : simulator_.TakeOutput()) {
        if (!chunk.split) {
            WriteAll(chunk.bytes.data(), chunk.bytes.size());
            continue;
        }
        for (char c : chunk.bytes) {
            WriteAll(&c, 1);
            usleep(kSplitPauseUs);
        }
    }
    if (simulator_.TakeCallEnded() && onCallEnded)
        onCallEnded();
}

// A configurator that is not reading may fill the queue; after a short wait
// the rest is dropped, as a line without a listener would lose it.
bool CPtyRunner::WriteAll(const char* bytes, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = write(master_, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{master_, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0)
                return false;
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

} // namespace tornu
