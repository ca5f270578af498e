#include "batch/BatchViewModel.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tornu {

namespace {

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

bool Left(int state) { return state == kBatchPending || state == kBatchRunning; }

} // namespace

std::int64_t BatchSeconds(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6 ||
        mo < 1 || mo > 12 || d < 1 || d > 31)
        return 0;
    return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

std::string BatchTimeText(std::int64_t seconds) {
    if (seconds == 0)
        return {};
    // Back from days to the civil date.
    const std::int64_t z = seconds / 86400 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
    const int rest = static_cast<int>(seconds % 86400);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", d, m, y, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return text;
}

void CBatchViewModel::Reset(const std::vector<BatchTerminal>& rows) {
    rows_.clear();
    rows_.reserve(rows.size());
    index_.clear();
    index_.reserve(rows.size());
    counts_ = {};
    doneSeconds_ = 0;
    doneTimed_ = 0;
    for (const BatchTerminal& row : rows) {
        index_[row.terminal] = rows_.size();
        rows_.push_back({row.terminal, row.state, row.attempts, {}, row.cause,
                         BatchSeconds(row.started), BatchSeconds(row.ended)});
        const BatchRow& added = rows_.back();
        Count(added.state, 1);
        if (added.state == kBatchDone && added.started && added.ended >= added.started) {
            doneSeconds_ += added.ended - added.started;
            ++doneTimed_;
        }
    }
    changes_ = {};
}

void CBatchViewModel::Apply(const BatchTerminal& row, const std::string& port) {
    const auto found = index_.find(row.terminal);
    if (found == index_.end())
        return;
    BatchRow& shown = rows_[found->second];
    Count(shown.state, -1);
    Count(row.state, 1);
    shown.state = row.state;
    shown.attempts = row.attempts;
    shown.cause = row.cause;
    if (row.state == kBatchRunning) {
        shown.port = port;
        shown.started = BatchSeconds(row.started);
        shown.ended = 0;
    } else {
        shown.ended = BatchSeconds(row.ended);
    }
    if (row.state == kBatchDone && shown.started && shown.ended >= shown.started) {
        doneSeconds_ += shown.ended - shown.started;
        ++doneTimed_;
    }
    Touch(found->second);
}

void CBatchViewModel::Count(int state, int delta) {
    if (state == kBatchDone)
        counts_.done += delta;
    else if (Left(state))
        counts_.left += delta;
    else
        counts_.failed += delta;
    changes_.counts = true;
}

void CBatchViewModel::Touch(std::size_t index) {
    if (changes_.first > changes_.last) {
        changes_.first = changes_.last = index;
        return;
    }
    changes_.first = std::min(changes_.first, index);
    changes_.last = std::max(changes_.last, index);
}

CBatchViewModel::Changes CBatchViewModel::TakeChanges() {
    return std::exchange(changes_, Changes{});
}

std::optional<std::size_t> CBatchViewModel::Find(int terminal) const {
    const auto found = index_.find(terminal);
    if (found == index_.end())
        return std::nullopt;
    return found->second;
}

const char* CBatchViewModel::ColumnCaption(int column) {
    static const char* const kCaptions[kColumnCount] = {"Базовый модуль", "Состояние", "Попытка",
                                                        "Модем", "Причина", "Время"};
    return column >= 0 && column < kColumnCount ? kCaptions[column] : "";
}

std::string CBatchViewModel::Cell(std::size_t index, int column) const {
    const BatchRow& row = rows_[index];
    switch (column) {
    case kTerminal: {
        char text[16];
        std::snprintf(text, sizeof text, "[%04d]", row.terminal);
        return text;
    }
    case kState:
        return BatchStateCaption(row.state);
    case kAttempt:
        return row.attempts > 0 ? std::to_string(row.attempts) : std::string();
    case kModem:
        return row.port;
    case kCause:
        return row.cause;
    case kTime:
        return BatchTimeText(row.state == kBatchRunning ? row.started : row.ended);
    default:
        return {};
    }
}

std::optional<std::int64_t> CBatchViewModel::SecondsLeft() const {
    if (doneTimed_ == 0)
        return std::nullopt;
    const std::int64_t mean = doneSeconds_ / doneTimed_;
    const std::int64_t rounds = (counts_.left + ports_ - 1) / ports_;
    return mean * rounds;
}

} // namespace tornu
