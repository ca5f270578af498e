#pragma once
// Lays out a station table file byte by byte. Every header value can be set
// on its own, so that the corrupt files a reader must survive are as easy to
// write as the good ones.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tornu::test {

inline std::string U32(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
            static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
}

// A record of `size` zero bytes with `parts` written at their offsets.
inline std::string RecordBytes(std::size_t size,
                               std::initializer_list<std::pair<std::size_t, std::string>> parts) {
    std::string record(size, '\0');
    for (const auto& [offset, bytes] : parts)
        record.replace(offset, bytes.size(), bytes);
    record.resize(size);
    return record;
}

class OdbBuilder {
public:
    OdbBuilder& Field(std::string name, std::uint32_t type, std::uint32_t size,
                      std::uint32_t offset) {
        name.resize(20, '\0');
        descriptors_ += name + U32(type) + U32(size) + U32(offset);
        ++fieldCount_;
        return *this;
    }
    OdbBuilder& Magic(std::string magic) {
        magic_ = std::move(magic);
        return *this;
    }
    OdbBuilder& HeaderCount(std::uint32_t count) {
        headerCount_ = count;
        return *this;
    }
    OdbBuilder& RecordSize(std::uint32_t size) {
        recordSize_ = size;
        return *this;
    }
    // The count written to the header instead of the descriptors' own.
    OdbBuilder& FieldCount(std::uint32_t count) {
        fieldCountOverride_ = count;
        return *this;
    }
    // Exactly the bytes given: a record, part of one, or trailing junk. The
    // header counts each call as a record unless HeaderCount says otherwise.
    OdbBuilder& Raw(const std::string& bytes) {
        body_ += bytes;
        ++records_;
        return *this;
    }

    std::string Bytes() const {
        std::string header = magic_ + std::string(8, '\x5A') +
                             U32(headerCount_.value_or(records_)) + U32(recordSize_) +
                             U32(fieldCountOverride_.value_or(fieldCount_)) +
                             std::string(48, '\xA5');
        return header + descriptors_ + body_;
    }

private:
    std::string magic_ = "OBDB";
    std::string descriptors_;
    std::string body_;
    std::uint32_t fieldCount_ = 0;
    std::optional<std::uint32_t> fieldCountOverride_;
    std::optional<std::uint32_t> headerCount_;
    std::uint32_t recordSize_ = 0;
    std::uint32_t records_ = 0;
};

// The station's own layout: number, phone, password and a field the import
// does not read.
inline constexpr std::uint32_t kPhoneSize = 20;
inline constexpr std::uint32_t kPasswordSize = 16;
inline constexpr std::uint32_t kStationRecordSize = 64;

inline OdbBuilder StationLayout() {
    OdbBuilder builder;
    builder.Field("TermNum", 1, 4, 0)
        .Field("PhoneNum", 0, kPhoneSize, 4)
        .Field("TermPassword", 0, kPasswordSize, 24)
        .Field("Comment", 0, 24, 40)
        .RecordSize(kStationRecordSize);
    return builder;
}

// Texts in Windows-1251, as the station writes them.
inline std::string StationRecord(std::uint32_t number, const std::string& phone,
                                 const std::string& password) {
    return RecordBytes(kStationRecordSize, {{0, U32(number)}, {4, phone}, {24, password}});
}

} // namespace tornu::test
