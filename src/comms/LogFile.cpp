#include "comms/LogFile.h"

#include "protocol/TimeStamp.h"
#include "settings/PrivateFile.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <system_error>

namespace tornu {

namespace {

constexpr std::array<const char*, 32> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US",
};

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

} // namespace

CLogFile::CLogFile() : timeSource_(LocalNow), buffer_(kMaxText + 1) {}

CLogFile::~CLogFile() {
    Close();
}

bool CLogFile::Open(const std::string& fileName) {
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    return OpenIn({ec ? std::filesystem::path(".") : cwd}, fileName);
}

bool CLogFile::OpenIn(const std::vector<std::filesystem::path>& folders,
                      const std::string& fileName) {
    std::lock_guard lock(mutex_);
    if (!enabled_)
        return false;
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
        path_.clear();
    }
    for (const auto& folder : folders) {
        std::string path = (folder / fileName).string();
        file_ = OpenPrivateFile(path, true);
        if (file_) {
            path_ = path;
            return true;
        }
    }
    return false;
}

void CLogFile::Close() {
    std::lock_guard lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    path_.clear();
}

bool CLogFile::IsOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

std::string CLogFile::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void CLogFile::SetEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

void CLogFile::SetTimeSource(TimeSource source) {
    std::lock_guard lock(mutex_);
    timeSource_ = std::move(source);
}

void CLogFile::Write(std::string_view text) {
    std::lock_guard lock(mutex_);
    WriteLocked(text.substr(0, kMaxText));
}

void CLogFile::Printf(const char* format, ...) {
    std::lock_guard lock(mutex_);
    if (!file_)
        return;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer_.data(), buffer_.size(), format, args);
    va_end(args);
    if (n < 0)
        return;
    std::size_t len = std::min(static_cast<std::size_t>(n), kMaxText);
    WriteLocked(std::string_view(buffer_.data(), len));
}

// [31.12.2024 23:59:07] - SEND COMMAND    - [at]<CR><LF>
void CLogFile::WriteLocked(std::string_view text) {
    if (!file_)
        return;
    std::fprintf(file_, "[%s] - ", TimeStamp(timeSource_()).c_str());
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fputs("\r\n", file_);
    std::fflush(file_);
}

std::string CLogFile::Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 32) {
            out += '<';
            out += kControlNames[c];
            out += '>';
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace tornu
