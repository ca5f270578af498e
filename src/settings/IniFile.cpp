#include "settings/IniFile.h"

#include "settings/Encoding.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tornu {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsBlank(char c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A section name or key that reads back unchanged from "[name]" or "key=".
bool IsStorableName(std::string_view s) {
    return !s.empty() && s.find('\n') == std::string_view::npos && Trim(s) == s;
}

bool IsStorableKey(std::string_view key) {
    if (key == ";")
        return true;
    return IsStorableName(key) && key.find('=') == std::string_view::npos && key[0] != '[' &&
           key[0] != ';';
}

struct Decoded {
    std::string text;
    CIniFile::FileEncoding encoding;
    bool mark;
};

// A file is UTF-8 only when it proves to be: valid, and not plain ASCII.
Decoded Decode(std::string_view bytes) {
    if (IsValidUtf8(bytes) && HasNonAscii(bytes)) {
        const bool mark = bytes.starts_with(kByteOrderMark);
        if (mark)
            bytes.remove_prefix(kByteOrderMark.size());
        return {std::string(bytes), CIniFile::FileEncoding::Utf8, mark};
    }
    return {Cp1251ToUtf8(bytes), CIniFile::FileEncoding::Cp1251, false};
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return n == 0;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A settings file reached through a symbolic link is replaced where it lives,
// so that the link stays a link.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// A new file beside `path`; the name is unique so that two programs saving
// into one folder never write into the same temporary file.
int CreateTemporary(const std::string& path, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void SyncFolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes a temporary file and renames it over `path`, so that a reader (or a
// crash) never sees a half-written settings file.
bool ReplaceFile(const std::string& path, std::string_view bytes) {
    const std::string target = ResolveLink(path);
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // A file the operator made read-only stays as it is: renaming over it
    // would replace it all the same. The mode bits are asked, not access(),
    // which lets the superuser write anything.
    if (existed && ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        errno = EACCES;
        return false;
    }
    std::string tempPath;
    const int fd = CreateTemporary(target, tempPath);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) &&
              ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        errno = error;
        return false;
    }
    SyncFolderOf(target);
    return true;
}

} // namespace

CIniFile::CIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::error_code ec;
    directory_ = std::filesystem::current_path(ec).string();
}

std::string CIniFile::Path() const {
    if (directory_.empty() || fileName_.starts_with('/'))
        return fileName_;
    return directory_.ends_with('/') ? directory_ + fileName_ : directory_ + "/" + fileName_;
}

CResult CIniFile::Load(const std::string& fileName) {
    fileName_ = fileName;
    std::string bytes;
    if (!ReadWholeFile(Path(), bytes)) {
        const int error = errno;
        Clear();
        encoding_ = FileEncoding::Cp1251;
        byteOrderMark_ = false;
        return CResult::Fail(std::strerror(error));
    }
    LoadFromBytes(bytes);
    return {};
}

void CIniFile::LoadFromBytes(std::string_view bytes) {
    Decoded decoded = Decode(bytes);
    encoding_ = decoded.encoding;
    byteOrderMark_ = decoded.mark;
    sections_.clear();
    // Lines end at LF; the CR of a CR LF is trimmed with the other white space.
    std::string_view text = decoded.text;
    std::size_t current = kNone;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        ParseLine(text.substr(0, end), current);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

// `current` is the index of the section that takes entries, kNone while lines
// are dropped (before the first header, or under a repeated header).
void CIniFile::ParseLine(std::string_view line, std::size_t& current) {
    line = Trim(line);
    if (line.empty())
        return;
    if (line.front() == '[') {
        if (line.size() < 2 || line.back() != ']')
            return;
        const std::string name(Trim(line.substr(1, line.size() - 2)));
        if (name.empty())
            return;
        current = kNone;
        if (!FindSection(name)) {
            sections_.push_back({name, {}});
            current = sections_.size() - 1;
        }
        return;
    }
    if (current == kNone)
        return;
    if (line.front() == ';') {
        sections_[current].entries.push_back({";", std::string(line.substr(1))});
        return;
    }
    const std::size_t eq = line.find('=');
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = eq == std::string_view::npos ? "" : Trim(line.substr(eq + 1));
    if (!key.empty())
        Store(sections_[current], std::string(key), std::string(value));
}

void CIniFile::Store(Section& section, std::string key, std::string value) {
    if (key != ";") {
        for (Entry& entry : section.entries) {
            if (entry.key == key) {
                entry.value = std::move(value);
                return;
            }
        }
    }
    section.entries.push_back({std::move(key), std::move(value)});
}

//   [name] CR LF, then key=value CR LF (";text" CR LF for a comment) for each
//   entry, then an empty line.
std::string CIniFile::Render() const {
    std::string out;
    for (const Section& section : sections_) {
        out += '[' + section.name + "]\r\n";
        for (const Entry& entry : section.entries) {
            out += entry.key;
            if (entry.key != ";")
                out += '=';
            out += entry.value;
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

std::string CIniFile::Encode(const std::string& text, FileEncoding& encoding, bool& mark) const {
    if (encoding_ == FileEncoding::Cp1251) {
        std::string bytes = Utf8ToCp1251(text);
        // Text that is not UTF-8 cannot be kept any better in UTF-8.
        if (Decode(bytes).text == text || !IsValidUtf8(text)) {
            encoding = FileEncoding::Cp1251;
            mark = false;
            return bytes;
        }
    }
    encoding = FileEncoding::Utf8;
    mark = encoding_ == FileEncoding::Cp1251 || byteOrderMark_;
    return mark ? std::string(kByteOrderMark) + text : text;
}

std::string CIniFile::ToBytes() const {
    FileEncoding encoding;
    bool mark;
    return Encode(Render(), encoding, mark);
}

CResult CIniFile::Save() {
    if (fileName_.empty())
        return CResult::Fail({});
    FileEncoding encoding;
    bool mark;
    const std::string bytes = Encode(Render(), encoding, mark);
    if (!ReplaceFile(Path(), bytes))
        return CResult::Fail(std::strerror(errno));
    encoding_ = encoding;
    byteOrderMark_ = mark;
    return {};
}

CIniFile::Section* CIniFile::FindSection(const std::string& name) {
    auto it = std::find_if(sections_.begin(), sections_.end(),
                           [&](const Section& s) { return s.name == name; });
    return it == sections_.end() ? nullptr : &*it;
}

const CIniFile::Section* CIniFile::FindSection(const std::string& name) const {
    return const_cast<CIniFile*>(this)->FindSection(name);
}

bool CIniFile::GetValue(const std::string& section, const std::string& key, std::string& value) {
    if (key.empty())
        return false;
    lastSection_ = section;
    lastKey_ = key;
    return FindValue(section, key, value);
}

bool CIniFile::FindValue(const std::string& section, const std::string& key,
                         std::string& value) const {
    const Section* found = key.empty() ? nullptr : FindSection(section);
    if (!found)
        return false;
    for (const Entry& entry : found->entries) {
        if (entry.key == key) {
            value = entry.value;
            return true;
        }
    }
    return false;
}

bool CIniFile::SetValue(const std::string& section, const std::string& key,
                        const std::string& value) {
    if (!IsStorableName(section) || !IsStorableKey(key) || value.find('\n') != std::string::npos)
        return false;
    Section* found = FindSection(section);
    if (!found) {
        sections_.push_back({section, {}});
        found = &sections_.back();
    }
    Store(*found, key, value);
    return true;
}

bool CIniFile::AddSection(const std::string& name) {
    if (!IsStorableName(name) || FindSection(name))
        return false;
    sections_.push_back({name, {}});
    return true;
}

int CIniFile::CountEntries(const std::string& section) const {
    const Section* found = FindSection(section);
    if (!found)
        return -1;
    return static_cast<int>(std::count_if(found->entries.begin(), found->entries.end(),
                                          [](const Entry& e) { return e.key != ";"; }));
}

bool CIniFile::GetEntry(const std::string& section, int index, std::string& key,
                        std::string& value) const {
    const Section* found = FindSection(section);
    if (!found || index < 0)
        return false;
    for (const Entry& entry : found->entries) {
        if (entry.key == ";")
            continue;
        if (index-- == 0) {
            key = entry.key;
            value = entry.value;
            return true;
        }
    }
    return false;
}

void CIniFile::CopyFrom(const CIniFile& other) {
    if (&other == this)
        return;
    Clear();
    for (const Section& section : other.sections_)
        for (const Entry& entry : section.entries)
            SetValue(section.name, entry.key, entry.value);
}

void CIniFile::Clear() {
    sections_.clear();
}

bool CIniFile::ErrorText(int which, std::string& text) const {
    static const char* const kMessages[] = {"Не найден параметр",
                                            "Недопустимое значение параметра"};
    if (which < 0 || which > 1)
        return false;
    text = std::string(kMessages[which]) + " " + lastKey_ + " секция " + lastSection_;
    return true;
}

} // namespace tornu
