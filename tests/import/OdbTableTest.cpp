#include "import/OdbTable.h"

#include "OdbBuilder.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
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

    TempDir dir_;
    COdbTable table_;
};

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
    ASSERT_EQ(table_.Fields().size(), 4u);
    EXPECT_EQ(table_.Fields()[2].name, "TermPassword");
    EXPECT_EQ(table_.Fields()[2].size, kPasswordSize);
    EXPECT_EQ(table_.Fields()[2].offset, 24u);
    EXPECT_EQ(table_.RecordSize(), kStationRecordSize);
    EXPECT_EQ(table_.RecordCount(), 3u);

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

    ASSERT_EQ(table_.First(), 0);
    std::string phone;
    ASSERT_TRUE(table_.ReadText("PhoneNum", phone));
    EXPECT_EQ(phone, "+79001112233");
    table_.Close();
    EXPECT_FALSE(table_.IsOpen());
    EXPECT_EQ(table_.First(), -1);
}

struct RefusedCase {
    const char* name;
    std::string bytes;
};

class OdbTableRefused : public OdbTableTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(OdbTableRefused, OpenFailsAndLeavesTableClosed) {
    const std::string path = Write(GetParam().bytes);
    EXPECT_FALSE(table_.Open(path));
    EXPECT_FALSE(table_.IsOpen());
    EXPECT_EQ(table_.First(), -1);
    std::int32_t n = 5;
    EXPECT_FALSE(table_.ReadInteger("N", n));
    EXPECT_EQ(n, 5);
}

INSTANTIATE_TEST_SUITE_P(
    CorruptFiles, OdbTableRefused,
    ::testing::Values(
        RefusedCase{"Empty", ""},
        RefusedCase{"ShortHeader", TwoFields(8).Raw(std::string(12, 'x')).Bytes().substr(0, 71)},
        RefusedCase{"WrongMagic", TwoFields(8).Magic("OBDC").Bytes()},
        RefusedCase{"MagicCaseDiffers", TwoFields(8).Magic("obdb").Bytes()},
        // Two descriptors written, three announced.
        RefusedCase{"DescriptorsPastEnd", TwoFields(8).FieldCount(3).Bytes()},
        RefusedCase{"FieldCountHuge", TwoFields(8).FieldCount(0xFFFFFFFF).Bytes()},
        RefusedCase{"FieldCountHugeWithRecords",
                    TwoFields(8).FieldCount(0x08000000).Raw(std::string(4096, 'r')).Bytes()},
        RefusedCase{"RecordSizeZero",
                    TwoFields(8).RecordSize(0).HeaderCount(0xFFFFFFFF).Raw("abc").Bytes()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OdbTableTest, MissingFileOrFolderIsRefused) {
    EXPECT_FALSE(table_.Open(dir_ / "terminal.odb"));
    EXPECT_FALSE(table_.Open(dir_.Path().string()));
    EXPECT_FALSE(table_.Open(""));
}

TEST_F(OdbTableTest, HeaderWithoutFieldsOpensEmpty) {
    ASSERT_TRUE(table_.Open(Write(OdbBuilder().RecordSize(4).Raw("abcd"))));
    EXPECT_TRUE(table_.Fields().empty());
    EXPECT_EQ(table_.RecordCount(), 1u);
    std::int32_t n = 0;
    ASSERT_EQ(table_.First(), 0);
    EXPECT_FALSE(table_.ReadInteger("N", n));
}

// ---- Record count: always what the file can hold

struct CountCase {
    const char* name;
    OdbBuilder builder;
    std::uint64_t expected;
};

class OdbTableCount : public OdbTableTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(OdbTableCount, ComputedFromFileSize) {
    ASSERT_TRUE(table_.Open(Write(GetParam().builder)));
    EXPECT_EQ(table_.RecordCount(), GetParam().expected);
    EXPECT_EQ(CountByWalking(table_), static_cast<std::int64_t>(GetParam().expected));
}

const std::string kRecord12(12, 'r');

INSTANTIATE_TEST_SUITE_P(
    Tables, OdbTableCount,
    ::testing::Values(
        CountCase{"HeaderSaysTenRoomForThree",
                  TwoFields(8).HeaderCount(10).Raw(kRecord12).Raw(kRecord12).Raw(kRecord12), 3},
        CountCase{"HeaderSaysZero", TwoFields(8).HeaderCount(0).Raw(kRecord12).Raw(kRecord12), 2},
        CountCase{"HeaderHuge", TwoFields(8).HeaderCount(0xFFFFFFFF).Raw(kRecord12), 1},
        CountCase{"NoRecords", TwoFields(8).HeaderCount(5), 0},
        CountCase{"TruncatedLastRecord", TwoFields(8).Raw(kRecord12).Raw("half"), 1},
        CountCase{"RecordLargerThanFile", TwoFields(8).RecordSize(0xFFFFFFFF).Raw(kRecord12), 0},
        CountCase{"OnlyTruncatedRecord", TwoFields(8).Raw("eleven byte"), 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Field lookup and reading

TEST_F(OdbTableTest, NamesMatchExactly) {
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    OdbBuilder builder;
    builder.Field("TermNum", 1, 4, 0)
        .Field(twenty, 1, 4, 4)
        .Field(std::string("A\0B", 3), 1, 4, 8)
        .Field("TermNum", 1, 4, 12) // a later duplicate is never seen
        .RecordSize(16)
        .Raw(RecordBytes(16, {{0, U32(1)}, {4, U32(2)}, {8, U32(3)}, {12, U32(4)}}));
    ASSERT_TRUE(table_.Open(Write(builder)));
    ASSERT_EQ(table_.First(), 0);

    const struct {
        std::string name;
        bool found;
        std::int32_t value;
    } cases[] = {
        {"TermNum", true, 1},     {twenty, true, 2},    {std::string("A\0B", 3), true, 3},
        {"termnum", false, 0},    {"TermNu", false, 0}, {"TermNum ", false, 0},
        {twenty + "U", false, 0}, {"A", false, 0},      {"", false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t value = -7;
        EXPECT_EQ(table_.ReadInteger(c.name, value), c.found) << c.name;
        EXPECT_EQ(value, c.found ? c.value : -7) << c.name;
    }
}

TEST_F(OdbTableTest, IntegerFieldsAreLittleEndianAndSigned) {
    OdbBuilder builder = TwoFields(4);
    builder.Raw(RecordBytes(8, {{0, "\x01\x02\x03\x04"}}))
        .Raw(RecordBytes(8, {{0, U32(0xFFFFFFFF)}}))
        .Raw(RecordBytes(8, {{0, U32(0x7FFFFFFF)}}));
    ASSERT_TRUE(table_.Open(Write(builder)));
    std::vector<std::int32_t> values;
    for (std::int64_t i = table_.First(); i >= 0; i = table_.Next()) {
        std::int32_t value = 0;
        ASSERT_TRUE(table_.ReadInteger("N", value));
        values.push_back(value);
    }
    EXPECT_EQ(values, (std::vector<std::int32_t>{0x04030201, -1, 0x7FFFFFFF}));
}

TEST_F(OdbTableTest, FieldOfWrongTypeOrShapeFails) {
    OdbBuilder builder;
    builder.Field("Text", 0, 4, 0)
        .Field("Int", 1, 4, 4)
        .Field("Unknown", 2, 4, 8)
        .Field("ShortInt", 1, 2, 12)
        .Field("LongInt", 1, 8, 12)
        .RecordSize(20)
        .Raw(RecordBytes(20, {{0, "abc"}, {4, U32(9)}, {8, U32(9)}, {12, U32(9)}}));
    ASSERT_TRUE(table_.Open(Write(builder)));
    ASSERT_EQ(table_.First(), 0);
    std::int32_t value = -7;
    std::string text = "untouched";
    EXPECT_FALSE(table_.ReadInteger("Text", value));
    EXPECT_FALSE(table_.ReadText("Int", text));
    EXPECT_FALSE(table_.ReadInteger("Unknown", value));
    EXPECT_FALSE(table_.ReadText("Unknown", text));
    EXPECT_FALSE(table_.ReadInteger("ShortInt", value));
    EXPECT_FALSE(table_.ReadInteger("LongInt", value));
    EXPECT_EQ(value, -7);
    EXPECT_EQ(text, "untouched");
    EXPECT_TRUE(table_.ReadInteger("Int", value));
    EXPECT_EQ(value, 9);
}

TEST_F(OdbTableTest, FieldsOutsideTheRecordFail) {
    // Each record is followed by another one or by the end of the file: a field
    // that runs past its record must fail, not read its neighbour.
    OdbBuilder builder;
    builder.Field("AtEnd", 1, 4, 12)
        .Field("PastEnd", 1, 4, 13)
        .Field("OffsetPast", 0, 1, 16)
        .Field("Wraps", 0, 0x20, 0xFFFFFFF0)
        .Field("HugeSize", 0, 0xFFFFFFFF, 0)
        .Field("HugeInt", 1, 4, 0xFFFFFFFE)
        .RecordSize(16)
        .Raw(RecordBytes(16, {{12, U32(5)}}))
        .Raw(RecordBytes(16, {{0, "neighbour"}, {12, U32(6)}}));
    ASSERT_TRUE(table_.Open(Write(builder)));
    for (std::int64_t i = table_.First(); i >= 0; i = table_.Next()) {
        std::int32_t value = 0;
        std::string text;
        EXPECT_TRUE(table_.ReadInteger("AtEnd", value));
        EXPECT_EQ(value, 5 + i);
        for (const char* name : {"PastEnd", "HugeInt"})
            EXPECT_FALSE(table_.ReadInteger(name, value)) << name;
        for (const char* name : {"OffsetPast", "Wraps", "HugeSize"})
            EXPECT_FALSE(table_.ReadText(name, text)) << name;
    }
}

TEST_F(OdbTableTest, NoCurrentRecordNoRead) {
    ASSERT_TRUE(table_.Open(Write(TwoFields(4).Raw(RecordBytes(8, {{0, U32(1)}})))));
    std::int32_t value = -7;
    EXPECT_FALSE(table_.ReadInteger("N", value)); // before First
    ASSERT_EQ(table_.First(), 0);
    ASSERT_EQ(table_.Next(), -1);
    EXPECT_FALSE(table_.ReadInteger("N", value)); // after the last
    EXPECT_EQ(value, -7);
}

// ---- Texts: up to the first zero, cut to 255 characters, Windows-1251 to UTF-8

TEST_F(OdbTableTest, TextsConvertedAndCut) {
    const struct {
        const char* name;
        std::string stored; // Windows-1251, zero-padded to the field by the record
        std::string expected;
    } cases[] = {
        {"Ascii", "+79001112233", "+79001112233"},
        {"Empty", "", ""},
        {"Cyrillic", "\xCF\xE0\xF0\xEE\xEB\xFC \xB8\xA8", "Пароль ёЁ"},
        {"StopsAtZero",
         std::string("12\0"
                     "34",
                     5),
         "12"},
        {"FillsField", std::string(300, 'x'), std::string(255, 'x')},
        {"CutByCharacters", std::string(300, '\xDF'),
         [] {
             std::string s;
             for (int i = 0; i < 255; ++i)
                 s += "Я";
             return s;
         }()},
        {"ZeroAfterCut", std::string(255, 'a') + '\0' + "b", std::string(255, 'a')},
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
}

TEST_F(OdbTableTest, TextLimitCountsOriginalCharacters) {
    ASSERT_TRUE(table_.Open(Write(TwoFields(8).Raw(RecordBytes(12, {{4, "\xC0\xC1\xC2\xC3"}})))));
    ASSERT_EQ(table_.First(), 0);
    std::string text;
    ASSERT_TRUE(table_.ReadText("T", text, 3));
    EXPECT_EQ(text, "АБВ");
    ASSERT_TRUE(table_.ReadText("T", text, 0));
    EXPECT_EQ(text, "");
}

TEST_F(OdbTableTest, FullFieldWithoutZeroReadsWhole) {
    // The field ends right where the next record's integer begins.
    ASSERT_TRUE(table_.Open(
        Write(TwoFields(4).Raw(RecordBytes(8, {{4, "abcd"}})).Raw(RecordBytes(8, {{0, U32(1)}})))));
    ASSERT_EQ(table_.First(), 0);
    std::string text;
    ASSERT_TRUE(table_.ReadText("T", text));
    EXPECT_EQ(text, "abcd");
}

// ---- Exclusive open

TEST_F(OdbTableTest, SecondOpenFailsWhileOpen) {
    const std::string path = Write(TwoFields(4).Raw(RecordBytes(8, {})));
    ASSERT_TRUE(table_.Open(path));
    COdbTable second;
    EXPECT_FALSE(second.Open(path));
    table_.Close();
    EXPECT_TRUE(second.Open(path));
    EXPECT_FALSE(table_.Open(path));
}

TEST_F(OdbTableTest, TableLockedByStationIsRefused) {
    const std::string path = Write(TwoFields(4).Raw(RecordBytes(8, {})));
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_SH), 0);
    EXPECT_FALSE(table_.Open(path));
    close(fd);
    EXPECT_TRUE(table_.Open(path));
}

TEST_F(OdbTableTest, ReopenReleasesPreviousFile) {
    const std::string first = Write(TwoFields(4).Raw(RecordBytes(8, {})));
    const std::string other = dir_ / "other.odb";
    WriteBytes(other, TwoFields(4).Raw(RecordBytes(8, {})).Raw(RecordBytes(8, {})).Bytes());
    ASSERT_TRUE(table_.Open(first));
    ASSERT_TRUE(table_.Open(other));
    EXPECT_EQ(table_.RecordCount(), 2u);
    COdbTable again;
    EXPECT_TRUE(again.Open(first));
}
