#include "db/ReadAheadReader.h"

#include <climits>
#include <cstdint>

namespace tornu {

namespace {

constexpr std::size_t kBlockRows = 2048;
constexpr std::size_t kBlocksAhead = 4;

} // namespace

CReadAheadReader::CReadAheadReader(std::unique_ptr<ITableReader> reader)
    : reader_(std::move(reader)) {}

CReadAheadReader::~CReadAheadReader() {
    Stop();
}

void CReadAheadReader::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    ready_.clear();
    stop_ = false;
    opened_ = false;
    openedOk_ = false;
}

bool CReadAheadReader::Open(const char* table, const char* columns, const char* orderBy) {
    Stop();
    current_ = {};
    row_ = 0;
    // The texts are copied: the thread reads them after this returns.
    thread_ = std::thread(&CReadAheadReader::Read, this, std::string(table),
                          columns ? std::optional<std::string>(columns) : std::nullopt,
                          orderBy ? std::optional<std::string>(orderBy) : std::nullopt);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return opened_; });
    failed_ = !openedOk_;
    ended_ = failed_;
    return openedOk_;
}

void CReadAheadReader::Read(std::string table, std::optional<std::string> columns,
                            std::optional<std::string> orderBy) {
    const bool opened = reader_->Open(table.c_str(), columns ? columns->c_str() : nullptr,
                                      orderBy ? orderBy->c_str() : nullptr);
    {
        std::lock_guard lock(mutex_);
        opened_ = true;
        openedOk_ = opened;
    }
    changed_.notify_all();
    DbRow row;
    for (bool more = opened; more;) {
        Block block;
        bool failed = false;
        while (block.rows < kBlockRows && (more = reader_->Next(row)))
            if (!Add(block, row)) {
                more = false;
                failed = true;
            }
        if (!more) {
            block.last = true;
            block.failed = failed || reader_->Failed();
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || ready_.size() < kBlocksAhead; });
        if (stop_)
            return;
        ready_.push_back(std::move(block));
        lock.unlock();
        changed_.notify_all();
    }
}

bool CReadAheadReader::Add(Block& block, DbRow row) {
    block.columns = row.size();
    for (std::string_view cell : row) {
        // The offsets are 32 bits; a block holds a few megabytes.
        if (block.text.size() + cell.size() > UINT32_MAX)
            return false;
        block.cells.emplace_back(static_cast<std::uint32_t>(block.text.size()),
                                 static_cast<std::uint32_t>(cell.size()));
        block.text.append(cell);
    }
    ++block.rows;
    return true;
}

bool CReadAheadReader::Next(DbRow& row) {
    while (row_ >= current_.rows) {
        if (ended_) {
            failed_ = failed_ || current_.failed;
            return false;
        }
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !ready_.empty(); });
            current_ = std::move(ready_.front());
            ready_.pop_front();
        }
        changed_.notify_all();
        row_ = 0;
        ended_ = current_.last;
    }
    cells_.resize(current_.columns);
    const std::string_view text = current_.text;
    for (std::size_t i = 0; i < current_.columns; ++i) {
        const auto [offset, size] = current_.cells[row_ * current_.columns + i];
        cells_[i] = text.substr(offset, size);
    }
    ++row_;
    row = cells_;
    return true;
}

} // namespace tornu
