#include "comms/SerialPort.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
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

// A byte that cannot be handed to the driver within this time fails, as a
// write time-out of 100 ms plus 1 ms per byte would on a serial driver. A
// device property, so not scaled.
constexpr int kWriteTimeoutMs = 101;
constexpr int kWriteRetryMs = 10;
constexpr int kMaxFailedWaits = 10;

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

// Another user of the device makes the open fail. TIOCEXCL keeps other
// processes out (root excepted); the lock also covers root and this process.
// The operator's words for an open that failed with `error`.
std::string OpenFailure(const std::string& path, int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "порт " + path + " не найден";
    case EACCES:
    case EPERM:
        return "нет прав на порт " + path +
               " (пользователь должен входить в группу dialout)";
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

bool TakeExclusive(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
    ioctl(fd, TIOCEXCL);
    return true;
}

// Pseudo-terminals have no modem-control lines (ENOTTY); that is no reason
// to refuse the port.
bool ChangeLines(int fd, unsigned long request, int bits) {
    return ioctl(fd, request, &bits) == 0;
}

void Signal(int eventFd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(eventFd, &one, sizeof one);
}

} // namespace

// One open of the device. Shared by the caller's thread, the reader and a
// writer, so the descriptor is closed only when none of them uses it.
struct CSerialPort::Session {
    int fd = -1;
    int stopFd = -1; // readable once the session is stopped
    termios saved{};
    std::atomic<bool> stopped{false};
    std::atomic<bool> lost{false};
    std::atomic<bool> reading{false};
    bool claimed = false; // the reader has taken the session (under sessionMutex_)
    bool closing = false; // a Close has taken the session on (under sessionMutex_)
    CEvent loopEnded{true};
    CEvent closed{true};

    ~Session() {
        if (fd >= 0)
            close(fd);
        if (stopFd >= 0)
            close(stopFd);
    }
};

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

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    Shutdown();
}

void CSerialPort::Shutdown() {
    Close();
    running_ = false;
    startEvent_.Set();
    Wait();
}

// The reader starts with the first open, when the object (and any derived
// part) is complete. Waiting until it runs orders its first virtual call
// before anything this thread does later, such as destroying a derived part.
bool CSerialPort::StartReader() {
    if (IsStarted())
        return true;
    try {
        Start();
    } catch (const CThreadError& e) {
        CDebugLog::Write("ERROR COM: %s (%s)\r\n", e.what(), e.Location().c_str());
        return false;
    }
    readerReady_.Wait();
    return true;
}

bool CSerialPort::Open(const std::string& name, std::uint32_t baud, std::uint8_t byteSize,
                       std::uint8_t parity, std::uint8_t stopBits) {
    Close();
    tcflag_t frame = 0;
    if (baud == 0 || !FrameFlags(byteSize, parity, stopBits, frame) || !StartReader())
        return false;
    openError_.clear();
    const std::string path = DevicePath(name);
    auto s = OpenDevice(path, baud, frame);
    if (!s)
        return false;
    Install(s);
    startEvent_.Set();
    return true;
}

// The configured device, or null; a failure leaves the device as it was.
std::shared_ptr<CSerialPort::Session> CSerialPort::OpenDevice(const std::string& path,
                                                              std::uint32_t baud, unsigned frame) {
    auto s = std::make_shared<Session>();
    s->fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (s->fd < 0) {
        openError_ = OpenFailure(path, errno);
        return nullptr;
    }
    if (!TakeExclusive(s->fd)) {
        openError_ = OpenFailure(path, EBUSY);
        return nullptr;
    }
    const bool ok = tcgetattr(s->fd, &s->saved) == 0;
    openError_ = ok ? "порт " + path + " не удалось настроить" : OpenFailure(path, ENOTTY);
    if (ok && Configure(s->fd, s->saved, baud, frame)) {
        s->stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (s->stopFd >= 0) {
            ChangeLines(s->fd, TIOCMBIS, TIOCM_DTR | TIOCM_RTS);
            tcflush(s->fd, TCIOFLUSH);
            s->reading = true;
            openError_.clear();
            return s;
        }
    }
    if (ok)
        tcsetattr(s->fd, TCSANOW, &s->saved);
    ioctl(s->fd, TIOCNXCL);
    return nullptr;
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

// Makes s the current session. Only a Close racing with this Open can leave
// another one here; if no Close has taken that on, it is ended here.
void CSerialPort::Install(const std::shared_ptr<Session>& s) {
    std::shared_ptr<Session> old;
    {
        std::lock_guard lock(sessionMutex_);
        old = std::exchange(session_, s);
        if (old && old->closing)
            old.reset();
        else if (old)
            old->closing = true;
    }
    if (old) {
        EndSession(old);
        old->closed.Set();
    }
}

bool CSerialPort::Close() {
    std::shared_ptr<Session> s;
    bool mine;
    {
        std::lock_guard lock(sessionMutex_);
        if (!session_)
            return true;
        s = session_;
        mine = !s->closing;
        s->closing = true;
    }
    if (!mine) {
        // Another thread is closing (a cancel meeting the session's own close):
        // return when it is done, so that no hook runs after either returns.
        if (!OnReaderThread())
            s->closed.Wait();
        return true;
    }
    EndSession(s);
    {
        // The port counts as open until the device has been given back, so
        // that an Open after IsOpen() turned false finds it free.
        std::lock_guard lock(sessionMutex_);
        if (session_ == s)
            session_.reset();
    }
    s->closed.Set();
    CDebugLog::Write("COM: Close\r\n");
    return true;
}

bool CSerialPort::OnReaderThread() const {
    return readerId_.load() == std::this_thread::get_id();
}

// Stops one session: the waiter is released, pending data dropped, the read
// loop ended and the device given back as it was found.
void CSerialPort::EndSession(const std::shared_ptr<Session>& s) {
    replyEvent_.Set();
    tcflush(s->fd, TCIOFLUSH);
    CTimeScale::Sleep(50);
    s->stopped = true;
    Signal(s->stopFd);
    bool claimed;
    {
        std::lock_guard lock(sessionMutex_);
        claimed = s->claimed;
    }
    // From a hook the loop cannot end under us; it notices the stop on return.
    if (claimed && !OnReaderThread())
        s->loopEnded.Wait();
    tcsetattr(s->fd, TCSANOW, &s->saved);
    ioctl(s->fd, TIOCNXCL);
    flock(s->fd, LOCK_UN);
}

std::shared_ptr<CSerialPort::Session> CSerialPort::CurrentSession() const {
    std::lock_guard lock(sessionMutex_);
    return session_;
}

// The session the reader is to read, marked so that Close waits for the loop.
std::shared_ptr<CSerialPort::Session> CSerialPort::ClaimSession() {
    std::lock_guard lock(sessionMutex_);
    if (!session_ || session_->claimed || session_->closing)
        return nullptr;
    session_->claimed = true;
    return session_;
}

bool CSerialPort::IsOpen() const {
    return CurrentSession() != nullptr;
}

bool CSerialPort::IsReading() const {
    auto s = CurrentSession();
    return s && s->reading && !s->stopped;
}

unsigned CSerialPort::Run() {
    readerId_ = std::this_thread::get_id();
    readerReady_.Set();
    while (running_) {
        startEvent_.Wait();
        if (!running_)
            break;
        auto s = ClaimSession();
        if (!s)
            continue;
        ReadLoop(*s);
        s->reading = false;
        s->loopEnded.Set();
        s.reset();
        CTimeScale::Sleep(100);
    }
    return 0;
}

// Waits for bytes or the stop, never spinning. Ends on the stop, on a device
// that has gone, or after more than ten failed waits in a row.
void CSerialPort::ReadLoop(Session& s) {
    int failures = 0;
    while (!s.stopped) {
        pollfd fds[2] = {{s.stopFd, POLLIN, 0}, {s.fd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            CDebugLog::Write("ERROR(%lu) COM (0x%08X)\r\n", static_cast<unsigned long>(errno),
                             static_cast<unsigned>(s.fd));
            if (failures > kMaxFailedWaits)
                break;
            ++failures;
            continue;
        }
        if (fds[0].revents != 0)
            break;
        failures = 0;
        // Without POLLIN the device reports only a hang-up or an error.
        const bool gone = (fds[1].revents & POLLIN) == 0 || !DeliverBytes(s);
        if (gone) {
            // Unplugged adapter or hung-up line: nothing more will come.
            CDebugLog::Write("ERROR GetOverRes\n");
            s.lost = true;
            s.reading = false;
            OnCommEvent(kEvErr);
            break;
        }
    }
}

// Reads what has arrived and hands it over one byte at a time. False when the
// device reports end of file or an error.
bool CSerialPort::DeliverBytes(Session& s) {
    OnCommEvent(kEvRxChar);
    std::uint8_t buffer[256];
    while (!s.stopped) {
        const ssize_t n = read(s.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        if (n <= 0)
            return false;
        for (ssize_t i = 0; i < n && !s.stopped; ++i)
            OnReceive(buffer[i]);
    }
    return true;
}

bool CSerialPort::WriteByte(std::uint8_t byte) {
    auto s = CurrentSession();
    if (!s)
        return false;
    const std::int64_t deadline = CTimeScale::NowMs() + kWriteTimeoutMs;
    while (!s->stopped && !s->lost) {
        const ssize_t n = write(s->fd, &byte, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        const std::int64_t left = deadline - CTimeScale::NowMs();
        if (left <= 0)
            return false;
        // The driver may not report room until most of its queue has drained,
        // so the write is retried in short steps rather than waited for.
        pollfd fds[2] = {{s->stopFd, POLLIN, 0}, {s->fd, POLLOUT, 0}};
        poll(fds, 2, static_cast<int>(std::min<std::int64_t>(left, kWriteRetryMs)));
    }
    return false;
}

bool CSerialPort::WaitReply(int timeoutMs) {
    int steps = timeoutMs / 100;
    for (;;) {
        auto s = CurrentSession();
        if (!s || s->lost || s->stopped)
            return false;
        s.reset();
        const bool seen = replyEvent_.Wait(CTimeScale::Ms(100));
        if (--steps < 1 || seen)
            return seen;
    }
}

bool CSerialPort::SetLine(int code) {
    auto s = CurrentSession();
    if (!s)
        return false;
    switch (code) {
    case kSetRts:
        return ChangeLines(s->fd, TIOCMBIS, TIOCM_RTS);
    case kClrRts:
        return ChangeLines(s->fd, TIOCMBIC, TIOCM_RTS);
    case kSetDtr:
        return ChangeLines(s->fd, TIOCMBIS, TIOCM_DTR);
    case kClrDtr:
        return ChangeLines(s->fd, TIOCMBIC, TIOCM_DTR);
    case kSetBreak:
        return ioctl(s->fd, TIOCSBRK) == 0;
    case kClrBreak:
        return ioctl(s->fd, TIOCCBRK) == 0;
    case kSetXoff:
        return tcflow(s->fd, TCOOFF) == 0;
    case kSetXon:
        return tcflow(s->fd, TCOON) == 0;
    default:
        return false;
    }
}

void CSerialPort::OnReceive(std::uint8_t) {}

void CSerialPort::OnCommEvent(std::uint32_t) {}

} // namespace tornu
