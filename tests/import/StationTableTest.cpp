#include "import/StationTable.h"
#include "settings/Encoding.h"

#include "OdbBuilder.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

using namespace tornu;
using namespace tornu::test;

namespace {

StationRow Row(std::int32_t number, std::optional<std::string> phone,
               std::optional<std::string> password) {
    return {number, std::move(phone), std::move(password)};
}

class StationTableTest : public ::testing::Test {
protected:
    std::vector<StationRow> ReadRows(const OdbBuilder& builder) {
        const std::string path = StationTablePath(dir_.Path().string());
        WriteBytes(path, builder.Bytes());
        COdbTable table;
        EXPECT_TRUE(table.Open(path));
        return ReadStationRows(table);
    }

    TempDir dir_;
};

} // namespace

TEST(StationTablePath, FolderWithOrWithoutSlash) {
    EXPECT_EQ(StationTablePath(""), "terminal.odb");
    EXPECT_EQ(StationTablePath("/srv/station"), "/srv/station/terminal.odb");
    EXPECT_EQ(StationTablePath("/srv/station/"), "/srv/station/terminal.odb");
    EXPECT_EQ(StationTablePath("/"), "/terminal.odb");
    EXPECT_EQ(StationTablePath("data"), "data/terminal.odb");
}

TEST_F(StationTableTest, EmptyFolderNamesTableInWorkingDirectory) {
    WriteBytes(dir_ / "terminal.odb", StationLayout().Raw(StationRecord(4, "1", "2")).Bytes());
    ScopedCwd cwd(dir_.Path());
    COdbTable table;
    ASSERT_TRUE(table.Open(StationTablePath("")));
    EXPECT_EQ(ReadStationRows(table), (std::vector<StationRow>{Row(4, "1", "2")}));
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

TEST_F(StationTableTest, HeaderCountTenRoomForThree) {
    const auto rows = ReadRows(StationLayout()
                                   .HeaderCount(10)
                                   .Raw(StationRecord(1, "a", "x"))
                                   .Raw(StationRecord(2, "b", "y"))
                                   .Raw(StationRecord(3, "c", "z")));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.back(), Row(3, "c", "z"));
}

TEST_F(StationTableTest, NoRecordsNoRows) {
    EXPECT_TRUE(ReadRows(StationLayout().HeaderCount(4)).empty());
}

TEST_F(StationTableTest, TruncatedLastRecordLeftOut) {
    const std::string last = StationRecord(2, "b", "y");
    const auto rows = ReadRows(
        StationLayout().Raw(StationRecord(1, "a", "x")).Raw(last.substr(0, last.size() - 1)));
    EXPECT_EQ(rows, (std::vector<StationRow>{Row(1, "a", "x")}));
}

TEST_F(StationTableTest, RecordsWithoutIntegerNumberSkipped) {
    OdbBuilder textNumber;
    textNumber.Field("TermNum", 0, 4, 0).Field("PhoneNum", 0, 8, 4).RecordSize(12);
    textNumber.Raw(RecordBytes(12, {{0, "7"}, {4, "1"}}));
    EXPECT_TRUE(ReadRows(textNumber).empty());

    OdbBuilder noNumber;
    noNumber.Field("PhoneNum", 0, 8, 0).RecordSize(8).Raw(RecordBytes(8, {{0, "1"}}));
    EXPECT_TRUE(ReadRows(noNumber).empty());

    OdbBuilder numberOutside; // runs past the record
    numberOutside.Field("TermNum", 1, 4, 6).Field("PhoneNum", 0, 4, 0).RecordSize(8);
    numberOutside.Raw(RecordBytes(8, {})).Raw(RecordBytes(8, {}));
    EXPECT_TRUE(ReadRows(numberOutside).empty());
}

TEST_F(StationTableTest, UnreadableTextsLeftEmpty) {
    OdbBuilder builder;
    builder.Field("TermNum", 1, 4, 0)
        .Field("PhoneNum", 1, 4, 4)      // an integer, not a text
        .Field("TermPassword", 0, 16, 8) // runs past the record
        .RecordSize(12)
        .Raw(RecordBytes(12, {{0, U32(5)}}));
    EXPECT_EQ(ReadRows(builder), (std::vector<StationRow>{Row(5, std::nullopt, std::nullopt)}));

    OdbBuilder numberOnly;
    numberOnly.Field("TermNum", 1, 4, 0).RecordSize(4).Raw(U32(6));
    EXPECT_EQ(ReadRows(numberOnly), (std::vector<StationRow>{Row(6, std::nullopt, std::nullopt)}));
}

TEST_F(StationTableTest, LongTextsCutTo255Characters) {
    OdbBuilder builder;
    builder.Field("TermNum", 1, 4, 0)
        .Field("PhoneNum", 0, 400, 4)
        .Field("TermPassword", 0, 256, 404)
        .RecordSize(660)
        .Raw(RecordBytes(
            660, {{0, U32(9)}, {4, std::string(400, '7')}, {404, std::string(256, '\xE9')}}));
    const auto rows = ReadRows(builder);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].phone, std::string(255, '7'));
    ASSERT_TRUE(rows[0].password);
    EXPECT_EQ(Utf8Length(*rows[0].password), 255u);
    EXPECT_EQ(Utf8Prefix(*rows[0].password, 1), "й");
}
