#include "import/OdbTable.h"
#include "import/StationTable.h"

#include "OdbBuilder.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <tuple>
#include <unistd.h>

using namespace tornu;
using namespace tornu::test;

namespace {

class OdbTableTest : public ::testing::Test {
protected:
    std::string Write(const OdbBuilder& builder) { return Write(builder.Bytes()); }
    std::string Write(const std::string& bytes) {
        const std::string path = dir_ / "terminal.odb";
        WriteBytes(path, bytes);
        return path;
    }
    std::vector<StationRow> ReadRows(const OdbBuilder& builder) {
        EXPECT_TRUE(table_.Open(Write(builder)));
        return ReadStationRows(table_);
    }

    TempDir dir_;
    COdbTable table_;
};

StationRow Row(std::int32_t number, std::optional<std::string> phone,
               std::optional<std::string> password) {
    return {number, std::move(phone), std::move(password)};
}

// Integer field "N" at 0 and text field "T" of `textSize` bytes after it.
OdbBuilder TwoFields(std::uint32_t textSize) {
    OdbBuilder builder;
    builder.Field("N", 1, 4, 0).Field("T", 0, textSize, 4).RecordSize(4 + textSize);
    return builder;
}

std::int64_t CountByWalking(COdbTable& table) {
    std::int64_t count = 0;
    for (std::int64_t i = table.First(); i >= 0; i = table.Next()) {
        EXPECT_EQ(i, count);
        ++count;
    }
    return count;
}

} // namespace

// ---- Header and field table

TEST_F(OdbTableTest, ReadsLayoutAndWalksRecords) {
    const std::string path = Write(StationLayout()
                                       .Raw(StationRecord(7, "+79001112233", "1234"))
                                       .Raw(StationRecord(12, "", ""))
                                       .Raw(StationRecord(3, "8", "p")));
    ASSERT_TRUE(table_.Open(path));
    EXPECT_EQ(table_.GetIndex(), -1);
    std::vector<std::int32_t> numbers;
    for (std::int64_t i = table_.First(); i >= 0; i = table_.Next()) {
        EXPECT_EQ(table_.GetIndex(), i);
        std::int32_t number = 0;
        ASSERT_TRUE(table_.ReadInteger("TermNum", number));
        numbers.push_back(number);
    }
    EXPECT_EQ(numbers, (std::vector<std::int32_t>{7, 12, 3}));
    EXPECT_EQ(table_.GetIndex(), -1);
    // Without a current record Next does not start over.
    EXPECT_EQ(table_.Next(), -1);

    table_.Close();
    EXPECT_FALSE(table_.IsOpen());
    EXPECT_EQ(table_.First(), -1);
}

TEST_F(OdbTableTest, CorruptFilesAreRefusedAndLeaveTheTableClosed) {
    const std::string refused[] = {
        "",
        TwoFields(8).Raw(std::string(12, 'x')).Bytes().substr(0, 71), // short header
        TwoFields(8).Magic("obdb").Bytes(),
        TwoFields(8).FieldCount(3).Bytes(), // two descriptors written, three announced
        TwoFields(8).FieldCount(0x08000000).Raw(std::string(4096, 'r')).Bytes(),
        TwoFields(8).RecordSize(0).HeaderCount(0xFFFFFFFF).Raw("abc").Bytes(),
    };
    for (const std::string& bytes : refused) {
        EXPECT_FALSE(table_.Open(Write(bytes))) << bytes.size();
        EXPECT_FALSE(table_.IsOpen());
        EXPECT_EQ(table_.First(), -1);
        std::int32_t n = 5;
        EXPECT_FALSE(table_.ReadInteger("N", n));
        EXPECT_EQ(n, 5);
    }
    for (const std::string& path : {dir_ / "missing.odb", dir_.Path().string(), std::string()})
        EXPECT_FALSE(table_.Open(path)) << path;
    // A header without fields opens, empty.
    ASSERT_TRUE(table_.Open(Write(OdbBuilder().RecordSize(4).Raw("abcd"))));
    EXPECT_TRUE(table_.Fields().empty());
    EXPECT_EQ(table_.RecordCount(), 1u);
}

// The record count is always what the file can hold, whatever the header says.
TEST_F(OdbTableTest, RecordCountComesFromTheFileSize) {
    const std::string record(12, 'r');
    const std::pair<OdbBuilder, std::int64_t> cases[] = {
        {TwoFields(8).HeaderCount(10).Raw(record).Raw(record).Raw(record), 3},
        {TwoFields(8).Raw(record).Raw("half"), 1},
        {TwoFields(8).RecordSize(0xFFFFFFFF).Raw(record), 0},
    };
    for (const auto& [builder, expected] : cases) {
        ASSERT_TRUE(table_.Open(Write(builder)));
        EXPECT_EQ(table_.RecordCount(), static_cast<std::uint64_t>(expected));
        EXPECT_EQ(CountByWalking(table_), expected);
        table_.Close();
    }
}

// Each record is followed by another one or by the end of the file: a field
// that runs past its record must fail, not read its neighbour.
TEST_F(OdbTableTest, IntegersAreLittleEndianSignedAndBadFieldsFail) {
    OdbBuilder builder;
    builder.Field("Int", 1, 4, 0)
        .Field("Text", 0, 4, 4)
        .Field("Unknown", 2, 4, 8)
        .Field("LongInt", 1, 8, 8)
        .Field("AtEnd", 1, 4, 12)
        .Field("PastEnd", 1, 4, 13)
        .Field("OffsetPast", 0, 1, 16)
        .Field("Wraps", 0, 0x20, 0xFFFFFFF0)
        .Field("HugeInt", 1, 4, 0xFFFFFFFE)
        .Field("Int", 1, 4, 12) // a later duplicate is never seen
        .RecordSize(16)
        .Raw(RecordBytes(16, {{0, "\x01\x02\x03\x04"}, {4, "abc"}, {12, U32(5)}}))
        .Raw(RecordBytes(16, {{0, U32(0x7FFFFFFF)}, {4, "xyz"}, {12, U32(0xFFFFFFFF)}}));
    ASSERT_TRUE(table_.Open(Write(builder)));
    std::vector<std::int32_t> values;
    for (std::int64_t i = table_.First(); i >= 0; i = table_.Next()) {
        std::int32_t value = -7;
        std::string text = "untouched";
        for (const char* name : {"Text", "Unknown", "LongInt", "PastEnd", "HugeInt", "int", ""})
            EXPECT_FALSE(table_.ReadInteger(name, value)) << name;
        for (const char* name : {"Int", "Unknown", "OffsetPast", "Wraps"})
            EXPECT_FALSE(table_.ReadText(name, text)) << name;
        EXPECT_EQ(value, -7);
        EXPECT_EQ(text, "untouched");
        for (const char* name : {"Int", "AtEnd"}) {
            ASSERT_TRUE(table_.ReadInteger(name, value)) << name;
            values.push_back(value);
        }
    }
    EXPECT_EQ(values, (std::vector<std::int32_t>{0x04030201, 5, 0x7FFFFFFF, -1}));
}

// ---- Texts: up to the first zero, cut to 255 characters, Windows-1251 to UTF-8

TEST_F(OdbTableTest, TextsConvertedAndCut) {
    const struct {
        const char* name;
        std::string stored; // Windows-1251, zero-padded to the field by the record
        std::string expected;
    } cases[] = {
        {"Cyrillic", "\xCF\xE0\xF0\xEE\xEB\xFC \xB8\xA8", "Пароль ёЁ"},
        {"StopsAtZero",
         std::string("12\0"
                     "34",
                     5),
         "12"},
        {"CutByCharacters", std::string(300, '\xDF'),
         [] {
             std::string s;
             for (int i = 0; i < 255; ++i)
                 s += "Я";
             return s;
         }()},
        {"UnassignedByteKept", "\x98", "\xC2\x98"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(table_.Open(Write(TwoFields(300).Raw(RecordBytes(304, {{4, c.stored}})))))
            << c.name;
        ASSERT_EQ(table_.First(), 0);
        std::string text = "old";
        EXPECT_TRUE(table_.ReadText("T", text)) << c.name;
        EXPECT_EQ(text, c.expected) << c.name;
        table_.Close();
    }
    // A limit counts the original characters.
    ASSERT_TRUE(table_.Open(Write(TwoFields(8).Raw(RecordBytes(12, {{4, "\xC0\xC1\xC2\xC3"}})))));
    ASSERT_EQ(table_.First(), 0);
    std::string text;
    ASSERT_TRUE(table_.ReadText("T", text, 3));
    EXPECT_EQ(text, "АБВ");
}

// ---- Exclusive open

TEST_F(OdbTableTest, OpenIsExclusive) {
    const std::string path = Write(TwoFields(4).Raw(RecordBytes(8, {})));
    ASSERT_TRUE(table_.Open(path));
    COdbTable second;
    EXPECT_FALSE(second.Open(path));
    table_.Close();
    EXPECT_TRUE(second.Open(path));
    EXPECT_FALSE(table_.Open(path));
    second.Close();
    // The station holds its table locked while it runs.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_SH), 0);
    EXPECT_FALSE(table_.Open(path));
    close(fd);
    EXPECT_TRUE(table_.Open(path));
}

// ---- The station's table read into rows

using StationTableTest = OdbTableTest;

TEST(StationTablePath, FolderWithOrWithoutSlash) {
    EXPECT_EQ(StationTablePath(""), "terminal.odb");
    EXPECT_EQ(StationTablePath("/srv/station"), "/srv/station/terminal.odb");
    EXPECT_EQ(StationTablePath("/srv/station/"), "/srv/station/terminal.odb");
}

TEST_F(StationTableTest, RowsInFileOrderWithConvertedTexts) {
    const auto rows = ReadRows(StationLayout()
                                   .Raw(StationRecord(7, "+79001112233", "1234"))
                                   .Raw(StationRecord(12, "", "\xEF\xE0\xF0\xEE\xEB\xFC"))
                                   .Raw(StationRecord(7, "89005556677", "'; --")));
    // The same number twice: both kept in order, so the later one wins when applied.
    EXPECT_EQ(rows, (std::vector<StationRow>{Row(7, "+79001112233", "1234"), Row(12, "", "пароль"),
                                             Row(7, "89005556677", "'; --")}));
}

// A record without an integer number is skipped; a text that cannot be read
// (an integer field, one past the record) is left empty.
TEST_F(StationTableTest, UnreadableFieldsSkipTheRecordOrLeaveTheTextEmpty) {
    OdbBuilder textNumber;
    textNumber.Field("TermNum", 0, 4, 0).Field("PhoneNum", 0, 8, 4).RecordSize(12);
    EXPECT_TRUE(ReadRows(textNumber.Raw(RecordBytes(12, {{0, "7"}, {4, "1"}}))).empty());
    OdbBuilder builder;
    builder.Field("TermNum", 1, 4, 0)
        .Field("PhoneNum", 1, 4, 4)      // an integer, not a text
        .Field("TermPassword", 0, 16, 8) // runs past the record
        .RecordSize(12)
        .Raw(RecordBytes(12, {{0, U32(5)}}));
    EXPECT_EQ(ReadRows(builder), (std::vector<StationRow>{Row(5, std::nullopt, std::nullopt)}));
}
