#pragma once
// Reader of the monitoring station's table file "terminal.odb": a fixed
// header, a table of field descriptors and fixed-size records. All integers
// are unsigned 32-bit little-endian.
//
//   offset  size
//   0       4        magic "OBDB"
//   4       8        not read
//   12      4        record count (not trusted: computed from the file size)
//   16      4        record size in bytes
//   20      4        field count
//   24      48       not read
//   72      32 each  field descriptors: name[20] zero-padded, type (0 text,
//                    1 integer), size in the record, offset in the record
//   72 + 32 * field count: the records, record size bytes each
//
// Header values come from another program and may be anything: every read is
// checked against the file size and the record size before it is made.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class COdbTable {
public:
    enum FieldType : std::uint32_t { kFieldText = 0, kFieldInteger = 1 };

    struct Field {
        std::string name; // stored bytes up to the last non-zero one
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        std::uint32_t offset = 0;
    };

    static constexpr std::size_t kHeaderSize = 72;
    static constexpr std::size_t kDescriptorSize = 32;
    static constexpr std::size_t kNameSize = 20;
    // The station keeps its texts in 256-byte buffers with a terminating zero.
    static constexpr std::size_t kMaxTextLength = 255;

    COdbTable() = default;
    ~COdbTable();
    COdbTable(const COdbTable&) = delete;
    COdbTable& operator=(const COdbTable&) = delete;

    // Opens an existing regular file for reading and writing and takes an
    // exclusive flock on it, so that a second reader (or a station program
    // that locks the table) makes the open fail. Fails on a wrong magic, a
    // short header, descriptors past the end of the file or a record size of 0.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Current record index after the move; -1 when there is no record.
    std::int64_t First();
    std::int64_t Next();
    std::int64_t GetIndex() const { return index_; }

    // The field of the current record; false (value untouched) when there is
    // no current record, no field of that exact name, the field has another
    // type or size, or it lies outside the record.
    bool ReadInteger(std::string_view name, std::int32_t& value) const;
    // Windows-1251 characters up to the first zero byte, at most maxLength of
    // them, given as UTF-8.
    bool ReadText(std::string_view name, std::string& text,
                  std::size_t maxLength = kMaxTextLength) const;

    // Field names compare byte for byte, case-sensitive; the first of equal
    // names wins.
    const Field* FindField(std::string_view name) const;
    const std::vector<Field>& Fields() const { return fields_; }
    std::uint64_t RecordCount() const { return recordCount_; }
    std::uint32_t RecordSize() const { return recordSize_; }

private:
    bool ReadLayout(std::uint64_t fileSize);
    bool ReadDescriptors(std::uint32_t fieldCount);
    bool ReadFieldBytes(const Field& field, std::size_t length, std::string& bytes) const;

    int fd_ = -1;
    std::vector<Field> fields_;
    std::uint32_t recordSize_ = 0;
    std::uint64_t recordCount_ = 0;
    std::uint64_t dataStart_ = 0;
    std::int64_t index_ = -1;
};

} // namespace tornu
