#include "import/StationTable.h"

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
