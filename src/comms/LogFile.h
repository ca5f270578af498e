#pragma once
// The modem log: one time-stamped line per command sent and per line
// received, appended to a file in the working folder (never beside the
// executable, which an installed program cannot write). A new log is its
// owner's alone: it shows the dialled numbers. Any thread may write a line;
// each is written whole.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CLogFile {
public:
    // Longest text of one line; longer texts are cut.
    static constexpr std::size_t kMaxText = 65536;
    using TimeSource = std::function<std::tm()>;

    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Opens fileName for appending in the working directory. When that
    // fails the log stays closed and lines are ignored.
    bool Open(const std::string& fileName);
    // The same with the folders to try given, first that works wins.
    bool OpenIn(const std::vector<std::filesystem::path>& folders, const std::string& fileName);
    void Close();
    bool IsOpen() const;
    std::string Path() const;

    void SetEnabled(bool enabled);
    // Local time by default; tests give a fixed one.
    void SetTimeSource(TimeSource source);

    // "[dd.mm.yyyy hh:mm:ss] - " + text + CR LF, flushed at once.
    void Write(std::string_view text);
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Control characters below 32 as "<NUL>", "<CR>" ...; everything else as is.
    static std::string Printable(std::string_view text);

private:
    void WriteLocked(std::string_view text);

    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string path_;
    bool enabled_ = true;
    TimeSource timeSource_;
    std::vector<char> buffer_;
};

} // namespace tornu
