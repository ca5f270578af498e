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

// Rows of varying cells; "broken" fails after 5,000, "nosuch" cannot be opened.
constexpr std::size_t kRows = 20000, kBrokenAt = 5000; // many blocks, more than wait

Rows Expected() {
    Rows rows;
    for (std::size_t i = 0; i < kRows; ++i)
        rows.push_back({std::to_string(i), std::string(i % 300, 'z'), i % 7 ? "Окно" : ""});
    return rows;
}

class CMadeUpReader final : public ITableReader {
public:
    bool Open(const char* table, const char*, const char*) override {
        broken_ = std::string(table) == "broken";
        failed_ = std::string(table) == "nosuch";
        next_ = 0;
        return !failed_;
    }
    bool Next(DbRow& row) override {
        if (failed_ || next_ == (broken_ ? kBrokenAt : kRows)) {
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
    const Rows rows_ = Expected();
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

TEST(ReadAheadReaderTest, RowsArriveWholeAndInOrderAndAReadLeftHalfWayEnds) {
    CReadAheadReader reader(std::make_unique<CMadeUpReader>());
    ASSERT_TRUE(reader.Open("odd", nullptr, nullptr));
    EXPECT_EQ(ReadAll(reader), Expected());
    EXPECT_FALSE(reader.Failed());
    DbRow row;
    EXPECT_FALSE(reader.Next(row)) << "the end stays the end";
    // Opened again half way: the first read is dropped, the second whole.
    ASSERT_TRUE(reader.Open("odd", nullptr, "a"));
    EXPECT_EQ(ReadAll(reader, 3000).size(), 3000u);
    ASSERT_TRUE(reader.Open("odd", nullptr, nullptr));
    EXPECT_EQ(ReadAll(reader).size(), kRows);
    EXPECT_FALSE(reader.Open("nosuch", nullptr, nullptr));
    EXPECT_TRUE(reader.Failed());
    EXPECT_FALSE(reader.Next(row));
    // Dropped half way, with blocks waiting.
    for (std::size_t read : {0u, 1u, 9000u}) {
        CReadAheadReader dropped(std::make_unique<CMadeUpReader>());
        ASSERT_TRUE(dropped.Open("odd", nullptr, nullptr));
        EXPECT_EQ(ReadAll(dropped, read).size(), read);
    }
}

TEST(ReadAheadReaderTest, AFailureComesAfterTheRowsReadBeforeIt) {
    CReadAheadReader reader(std::make_unique<CMadeUpReader>());
    ASSERT_TRUE(reader.Open("broken", nullptr, nullptr));
    EXPECT_EQ(ReadAll(reader, kBrokenAt).size(), kBrokenAt);
    EXPECT_FALSE(reader.Failed()) << "not before its rows are read";
    DbRow row;
    EXPECT_FALSE(reader.Next(row));
    EXPECT_TRUE(reader.Failed());
}

} // namespace
} // namespace tornu
