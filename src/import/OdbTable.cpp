#include "import/OdbTable.h"

#include "settings/Encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tornu {

namespace {

constexpr char kMagic[4] = {'O', 'B', 'D', 'B'};
constexpr std::size_t kRecordCountAt = 12;
constexpr std::size_t kRecordSizeAt = 16;
constexpr std::size_t kFieldCountAt = 20;

std::uint32_t LoadU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Exactly `size` bytes at `position`; false on an error or the end of the file.
bool ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t position) {
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ssize_t got = pread(fd, out, size, static_cast<off_t>(position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        size -= static_cast<std::size_t>(got);
        position += static_cast<std::uint64_t>(got);
    }
    return true;
}

COdbTable::Field ParseDescriptor(const unsigned char* d) {
    COdbTable::Field field;
    std::size_t length = COdbTable::kNameSize;
    while (length > 0 && d[length - 1] == 0)
        --length;
    field.name.assign(reinterpret_cast<const char*>(d), length);
    field.type = LoadU32(d + 20);
    field.size = LoadU32(d + 24);
    field.offset = LoadU32(d + 28);
    return field;
}

} // namespace

COdbTable::~COdbTable() {
    Close();
}

bool COdbTable::Open(const std::string& path) {
    Close();
    fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0)
        return false;
    // flock belongs to this open file description: a second open, even in
    // this process, is refused while the first holds the table.
    struct stat info {};
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0 || fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) ||
        !ReadLayout(static_cast<std::uint64_t>(info.st_size))) {
        Close();
        return false;
    }
    return true;
}

bool COdbTable::ReadLayout(std::uint64_t fileSize) {
    unsigned char header[kHeaderSize];
    if (!ReadAt(fd_, header, sizeof header, 0) || std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return false;
    recordSize_ = LoadU32(header + kRecordSizeAt);
    const std::uint32_t fieldCount = LoadU32(header + kFieldCountAt);
    dataStart_ = kHeaderSize + std::uint64_t{kDescriptorSize} * fieldCount;
    // Checked before anything is allocated, so a wild field count costs nothing.
    if (dataStart_ > fileSize || !ReadDescriptors(fieldCount))
        return false;
    // Zero-byte records would make any header count but 0 an endless table;
    // with a count of 0 the table is empty.
    if (recordSize_ == 0) {
        recordCount_ = 0;
        return LoadU32(header + kRecordCountAt) == 0;
    }
    recordCount_ = (fileSize - dataStart_) / recordSize_;
    return true;
}

bool COdbTable::ReadDescriptors(std::uint32_t fieldCount) {
    std::vector<unsigned char> table(std::size_t{kDescriptorSize} * fieldCount);
    if (!ReadAt(fd_, table.data(), table.size(), kHeaderSize))
        return false;
    fields_.reserve(fieldCount);
    for (std::size_t i = 0; i < fieldCount; ++i)
        fields_.push_back(ParseDescriptor(table.data() + i * kDescriptorSize));
    return true;
}

void COdbTable::Close() {
    if (fd_ >= 0)
        close(fd_); // drops the lock too
    fd_ = -1;
    fields_.clear();
    recordSize_ = 0;
    recordCount_ = 0;
    dataStart_ = 0;
    index_ = -1;
}

std::int64_t COdbTable::First() {
    index_ = IsOpen() && recordCount_ > 0 ? 0 : -1;
    return index_;
}

std::int64_t COdbTable::Next() {
    if (index_ >= 0 && static_cast<std::uint64_t>(index_) + 1 < recordCount_)
        ++index_;
    else
        index_ = -1;
    return index_;
}

const COdbTable::Field* COdbTable::FindField(std::string_view name) const {
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [name](const Field& field) { return field.name == name; });
    return it == fields_.end() ? nullptr : &*it;
}

bool COdbTable::ReadFieldBytes(const Field& field, std::size_t length, std::string& bytes) const {
    if (index_ < 0 || std::uint64_t{field.offset} + field.size > recordSize_)
        return false;
    const std::uint64_t position =
        dataStart_ + static_cast<std::uint64_t>(index_) * recordSize_ + field.offset;
    bytes.resize(std::min<std::size_t>(length, field.size));
    return ReadAt(fd_, bytes.data(), bytes.size(), position);
}

bool COdbTable::ReadInteger(std::string_view name, std::int32_t& value) const {
    const Field* field = FindField(name);
    std::string bytes;
    if (!field || field->type != kFieldInteger || field->size != 4 ||
        !ReadFieldBytes(*field, 4, bytes))
        return false;
    value =
        static_cast<std::int32_t>(LoadU32(reinterpret_cast<const unsigned char*>(bytes.data())));
    return true;
}

bool COdbTable::ReadText(std::string_view name, std::string& text, std::size_t maxLength) const {
    const Field* field = FindField(name);
    std::string bytes;
    // Only the characters kept are read: a wild field size costs nothing.
    if (!field || field->type != kFieldText || !ReadFieldBytes(*field, maxLength, bytes))
        return false;
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    text = Cp1251ToUtf8(bytes);
    return true;
}

} // namespace tornu
