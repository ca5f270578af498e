// Rows handed over from the reading thread arrive whole and in order, a
// failure arrives after the rows read before it, and a read left half way
// (another table opened, the reader dropped) ends without a hang.
#include "db/ReadAheadReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tornu {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// Rows of varying cells; a table "broken" fails after `failAfter` rows, a
// table "nosuch" cannot be opened.
class CMadeUpReader final : public ITableReader {
public:
    CMadeUpReader(std::size_t rows, std::size_t failAfter) : count_(rows), failAfter_(failAfter) {}

    static Rows Expected(std::size_t count) {
        Rows rows;
        for (std::size_t i = 0; i < count; ++i)
            rows.push_back({std::to_string(i), std::string(i % 300, 'z'), i % 7 ? "Окно" : ""});
        return rows;
    }

    bool Open(const char* table, const char*) override {
        rows_ = Expected(count_);
        broken_ = std::string(table) == "broken";
        next_ = 0;
        failed_ = std::string(table) == "nosuch";
        return !failed_;
    }
    bool Next(DbRow& row) override {
        if (failed_ || next_ == rows_.size() || (broken_ && next_ == failAfter_)) {
            failed_ = failed_ || broken_;
            return false;
        }
        cells_.assign(rows_[next_].begin(), rows_[next_].end());
        ++next_;
        row = cells_;
        return true;
    }
    bool Failed() const override { return failed_; }

private:
    std::size_t count_, failAfter_;
    Rows rows_;
    std::vector<std::string_view> cells_;
    std::size_t next_ = 0;
    bool broken_ = false, failed_ = false;
};

Rows ReadAll(ITableReader& reader, std::size_t most = SIZE_MAX) {
    Rows rows;
    DbRow row;
    while (rows.size() < most && reader.Next(row))
        rows.emplace_back(row.begin(), row.end());
    return rows;
}

TEST(ReadAheadReaderTest, RowsArriveWholeAndInOrder) {
    constexpr std::size_t kRows = 20000; // many blocks, more than wait at once
    CReadAheadReader reader(std::make_unique<CMadeUpReader>(kRows, 0));
    ASSERT_TRUE(reader.Open("odd", nullptr));
    EXPECT_EQ(ReadAll(reader), CMadeUpReader::Expected(kRows));
    EXPECT_FALSE(reader.Failed());
    DbRow row;
    EXPECT_FALSE(reader.Next(row)) << "the end stays the end";

    // Opened again half way: the first read is dropped, the second whole.
    ASSERT_TRUE(reader.Open("odd", "a"));
    EXPECT_EQ(ReadAll(reader, 3000).size(), 3000u);
    ASSERT_TRUE(reader.Open("odd", nullptr));
    EXPECT_EQ(ReadAll(reader).size(), kRows);

    EXPECT_FALSE(reader.Open("nosuch", nullptr));
    EXPECT_TRUE(reader.Failed());
    EXPECT_FALSE(reader.Next(row));
}

TEST(ReadAheadReaderTest, AFailureComesAfterTheRowsReadBeforeIt) {
    CReadAheadReader reader(std::make_unique<CMadeUpReader>(10000, 5000));
    ASSERT_TRUE(reader.Open("broken", nullptr));
    const Rows rows = ReadAll(reader, 4999);
    EXPECT_FALSE(reader.Failed()) << "not before its rows are read";
    DbRow row;
    EXPECT_TRUE(reader.Next(row));
    EXPECT_FALSE(reader.Next(row));
    EXPECT_TRUE(reader.Failed());
}

TEST(ReadAheadReaderTest, DroppedHalfWayWithoutAHang) {
    for (std::size_t read : {0u, 1u, 2048u, 9000u}) {
        CReadAheadReader reader(std::make_unique<CMadeUpReader>(20000, 0));
        ASSERT_TRUE(reader.Open("odd", nullptr));
        EXPECT_EQ(ReadAll(reader, read).size(), read);
    }
}

} // namespace
} // namespace tornu
