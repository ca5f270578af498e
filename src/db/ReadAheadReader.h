#pragma once
// A table reader that reads ahead on a thread of its own: while the load
// makes records of the rows it has, the next rows are already being read
// (from the SQLite file, or taken off the server's connection). The rows
// are handed over in blocks of a few thousand, and no more than a few blocks
// wait at once, so memory stays bounded whatever the table's size.
//
// The reader it wraps is used by that thread alone, from Open until the next
// Open or the end: it must not share a connection with anything the calling
// thread uses meanwhile (the file and server readers have their own).
#include "db/TableReader.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tornu {

class CReadAheadReader final : public ITableReader {
public:
    explicit CReadAheadReader(std::unique_ptr<ITableReader> reader);
    ~CReadAheadReader() override;
    CReadAheadReader(const CReadAheadReader&) = delete;
    CReadAheadReader& operator=(const CReadAheadReader&) = delete;

    bool Open(const char* table, const char* columns, const char* orderBy) override;
    bool Next(DbRow& row) override;
    bool Failed() const override { return failed_; }

private:
    struct Block {
        std::string text;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> cells; // offset, size
        std::size_t columns = 0;
        std::size_t rows = 0;
        bool last = false;   // the table's end: nothing follows
        bool failed = false; // with `last`: the read failed
    };

    // The reading thread: opens the table, then hands over its rows.
    void Read(std::string table, std::optional<std::string> columns,
              std::optional<std::string> orderBy);
    // Waits for the reading thread to stop and drops what it left.
    void Stop();
    // False when the block is full, a cell would not fit its offsets, or the
    // reader was asked to stop.
    bool Add(Block& block, DbRow row);

    std::unique_ptr<ITableReader> reader_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_; // guarded by mutex_
    bool opened_ = false;     // guarded by mutex_: Open's answer has come
    bool openedOk_ = false;   // guarded by mutex_
    bool stop_ = false;       // guarded by mutex_

    // The calling thread's own.
    Block current_;
    std::size_t row_ = 0;
    std::vector<std::string_view> cells_;
    bool ended_ = true;
    bool failed_ = false;
};

} // namespace tornu
