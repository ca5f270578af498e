#include "comms/SerialPort.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

#include "comms/DebugLog.h"
#include "comms/TimeScale.h"

// Speeds without a Bxxx constant (14400) are set through the kernel's
// termios2 record; glibc does not declare it and its own header clashes with
// <termios.h>, so the generic layout is spelled out here.
#if defined(__linux__) && defined(TCSETS2) &&                                                      \
    (defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__arm__) ||       \
     defined(__riscv))
#define TORNU_HAVE_TERMIOS2 1
struct termios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
#endif

namespace tornu {

namespace {

// A buffer that cannot be handed to the driver within 100 ms plus 1 ms per
// byte fails, as a serial driver's write time-out would. A device property,
// so not scaled.
constexpr int kWriteTimeoutMs = 100;
constexpr int kWriteRetryMs = 10;
constexpr std::size_t kReadChunk = 4096;

struct SpeedCode {
    std::uint32_t baud;
    speed_t code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool FindSpeedCode(std::uint32_t baud, speed_t& code) {
    for (const SpeedCode& s : kSpeedCodes) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

bool SetCustomSpeed(int fd, std::uint32_t baud) {
#ifdef TORNU_HAVE_TERMIOS2
    constexpr tcflag_t kCbaud = 0010017;
    constexpr tcflag_t kBother = 0010000;
    constexpr int kInputShift = 16;
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    // Input speed bits cleared: the input runs at the output speed.
    t.c_cflag &= ~(kCbaud | (kCbaud << kInputShift));
    t.c_cflag |= kBother;
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
#else
    (void)fd;
    (void)baud;
    return false;
#endif
}

// The frame flags for byte size, parity and stop bits; false for codes
// outside the ranges the settings can hold.
bool FrameFlags(std::uint8_t byteSize, std::uint8_t parity, std::uint8_t stopBits,
                tcflag_t& flags) {
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    static constexpr tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                             PARENB | CMSPAR};
    if (byteSize < 5 || byteSize > 8 || parity > 4 || stopBits > 2)
        return false;
    flags = kSizes[byteSize - 5] | kParities[parity] | (stopBits != 0 ? CSTOPB : 0);
    return true;
}

// Raw 8-bit transfer: no line editing, no translation, no flow control, and
// a non-blocking read that returns what has arrived.
bool Configure(int fd, const termios& saved, std::uint32_t baud, tcflag_t frame) {
    termios t = saved;
    cfmakeraw(&t);
    t.c_iflag &= ~(IXOFF | IXANY | INPCK);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | frame;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    speed_t code = B38400;
    const bool standard = FindSpeedCode(baud, code);
    if (cfsetspeed(&t, code) != 0 || tcsetattr(fd, TCSANOW, &t) != 0)
        return false;
    return standard || SetCustomSpeed(fd, baud);
}

// The operator's words for an open that failed with `error`.
std::string OpenFailure(const std::string& path, int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "порт " + path + " не найден";
    case EACCES:
    case EPERM:
        return "нет прав на порт " + path + " (пользователь должен входить в группу dialout)";
    case EBUSY: {
        const std::string holders = CSerialPort::Holders(path);
        return "порт " + path + " занят" +
               (holders.empty() ? std::string(" другой программой") : " программой " + holders);
    }
    case ENOTTY:
        return path + " не является последовательным портом";
    default:
        return "порт " + path + ": " + std::strerror(error);
    }
}

// Another user of the device makes the open fail. TIOCEXCL keeps other
// processes out (root excepted); the lock also covers root and this process.
bool TakeExclusive(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
    ioctl(fd, TIOCEXCL);
    return true;
}

std::string ConfigureFailure(const std::string& path) {
    return "порт " + path + " не удалось настроить";
}

} // namespace

const std::vector<std::string>& CSerialPort::PortNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (int i = 1; i <= 16; ++i)
            v.push_back("COM" + std::to_string(i));
        return v;
    }();
    return names;
}

const std::vector<std::uint32_t>& CSerialPort::Speeds() {
    static const std::vector<std::uint32_t> speeds = {300,   600,   1200,  2400,  4800,  9600,
                                                      14400, 19200, 38400, 57600, 115200};
    return speeds;
}

std::string CSerialPort::DevicePath(const std::string& name) {
    // The prefix is matched without regard to case, as the port names always were.
    if (name.size() < 4 || name.size() > 7 ||
        std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M' || name[3] < '1' || name[3] > '9')
        return name;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return name;
        number = number * 10 + (name[i] - '0');
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::string CSerialPort::Holders(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path device = std::filesystem::canonical(path, ec);
    if (ec)
        return {};
    const std::string self = std::to_string(getpid());
    std::string holders;
    for (const auto& process : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        std::error_code fdError;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (std::filesystem::read_symlink(fd.path(), linkError) != device || linkError)
                continue;
            std::ifstream comm(process.path() / "comm");
            std::string name;
            std::getline(comm, name);
            holders += (holders.empty() ? "" : ", ") + name + " (" + pid + ")";
            break;
        }
    }
    return holders;
}

CSerialPort::CSerialPort() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CSerialPort::~CSerialPort() {
    Close();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

CResult CSerialPort::Open(const std::string& name, std::uint32_t baud, std::uint8_t byteSize,
                          std::uint8_t parity, std::uint8_t stopBits) {
    Close();
    const std::string path = DevicePath(name);
    tcflag_t frame = 0;
    if (baud == 0 || !FrameFlags(byteSize, parity, stopBits, frame))
        return CResult::Fail(ConfigureFailure(path));
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return CResult::Fail(OpenFailure(path, errno));
    if (!TakeExclusive(fd)) {
        close(fd);
        return CResult::Fail(OpenFailure(path, EBUSY));
    }
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) {
        flock(fd, LOCK_UN);
        close(fd);
        return CResult::Fail(OpenFailure(path, ENOTTY));
    }
    if (!Configure(fd, saved, baud, frame)) {
        tcsetattr(fd, TCSANOW, &saved);
        ioctl(fd, TIOCNXCL);
        flock(fd, LOCK_UN);
        close(fd);
        return CResult::Fail(ConfigureFailure(path));
    }
    fd_ = fd;
    saved_ = saved;
    gone_ = false;
    ChangeLines(TIOCMBIS, TIOCM_DTR | TIOCM_RTS);
    tcflush(fd_, TCIOFLUSH);
    return CResult::Ok();
}

void CSerialPort::Close() {
    if (fd_ < 0)
        return;
    tcflush(fd_, TCIOFLUSH);
    tcsetattr(fd_, TCSANOW, &saved_);
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
    gone_ = false;
    CDebugLog::Write("COM: Close\r\n");
}

int CSerialPort::WaitFor(short events, int timeoutMs) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, events, 0}};
    for (;;) {
        const int n = poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            CDebugLog::Write("ERROR(%lu) COM (0x%08X)\r\n", static_cast<unsigned long>(errno),
                             static_cast<unsigned>(fd_));
            return -2;
        }
        if (n == 0)
            return 0;
        if (fds[0].revents != 0) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t taken = read(wakeFd_, &count, sizeof count);
            return -1;
        }
        return (fds[1].revents & events) != 0 ? 1 : -2;
    }
}

StreamStatus CSerialPort::Read(std::string& into, int timeoutMs) {
    if (fd_ < 0 || gone_)
        return StreamStatus::kGone;
    const int ready = WaitFor(POLLIN, CTimeScale::Ms(timeoutMs));
    if (ready == 0)
        return StreamStatus::kTimeOut;
    if (ready == -1)
        return StreamStatus::kInterrupted;
    // Without POLLIN the device reports only a hang-up or an error.
    bool ended = ready != 1;
    std::size_t got = 0;
    while (!ended) {
        char buffer[kReadChunk];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            break;
        } else if (!(n < 0 && errno == EINTR)) {
            ended = true; // end of file or an error
        }
    }
    if (ended) {
        // Unplugged adapter or hung-up line: nothing more will come.
        CDebugLog::Write("ERROR GetOverRes\n");
        gone_ = true;
    }
    if (got > 0)
        return StreamStatus::kData;
    // Woken for nothing: the caller waits on.
    return ended ? StreamStatus::kGone : StreamStatus::kTimeOut;
}

bool CSerialPort::Write(const void* bytes, std::size_t length) {
    if (fd_ < 0 || gone_)
        return false;
    const auto* p = static_cast<const char*>(bytes);
    const std::int64_t deadline =
        CTimeScale::NowMs() + kWriteTimeoutMs + static_cast<std::int64_t>(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = write(fd_, p + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            gone_ = true;
            return false;
        }
        const std::int64_t left = deadline - CTimeScale::NowMs();
        if (left <= 0)
            return false;
        // The driver may not report room until most of its queue has drained,
        // so the write is retried in short steps rather than waited for.
        pollfd out{fd_, POLLOUT, 0};
        poll(&out, 1, static_cast<int>(std::min<std::int64_t>(left, kWriteRetryMs)));
    }
    return true;
}

void CSerialPort::Purge() {
    if (fd_ >= 0)
        tcflush(fd_, TCIOFLUSH);
}

bool CSerialPort::ChangeLines(unsigned long request, int bits) {
    return fd_ >= 0 && ioctl(fd_, request, &bits) == 0;
}

bool CSerialPort::SetDtr(bool on) {
    return ChangeLines(on ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
}

bool CSerialPort::SetRts(bool on) {
    return ChangeLines(on ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
}

bool CSerialPort::Sleep(int ms) {
    pollfd wake{wakeFd_, POLLIN, 0};
    const std::int64_t end = CTimeScale::NowMs() + CTimeScale::Ms(ms);
    for (std::int64_t left = end - CTimeScale::NowMs(); left > 0;
         left = end - CTimeScale::NowMs()) {
        if (poll(&wake, 1, static_cast<int>(left)) > 0) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t taken = read(wakeFd_, &count, sizeof count);
            return false;
        }
    }
    return true;
}

std::int64_t CSerialPort::NowMs() const {
    return CTimeScale::ScaledNowMs();
}

void CSerialPort::Interrupt() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

} // namespace tornu
