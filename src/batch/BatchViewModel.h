#pragma once
// What the window of a fleet job shows: a row per terminal (state, attempt,
// modem, cause, time), the counts done / failed / left and the expected time
// to finish. Filled once from the job's rows, then kept up from the run's
// events one row at a time; the changes gather until the window takes them,
// so that a job of thousands of terminals redraws at the window's pace, not
// at the calls'.
#include "batch/BatchStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tornu {

struct BatchRow {
    int terminal = 0;
    int state = kBatchPending;
    int attempts = 0;
    std::string port{};   // the modem of the last call in this window's run
    std::string cause{};
    std::int64_t started = 0; // seconds of the last attempt's start and end
    std::int64_t ended = 0;   // ("%Y-%m-%d %H:%M:%S" counted naively); 0: none
};

// Seconds of a "%Y-%m-%d %H:%M:%S" time, counted without a time zone (for
// differences and for showing it back); 0 for anything else.
std::int64_t BatchSeconds(const std::string& text);
// "%d.%m.%Y %H:%M:%S" of such seconds; empty for 0.
std::string BatchTimeText(std::int64_t seconds);

class CBatchViewModel {
public:
    enum Column { kTerminal, kState, kAttempt, kModem, kCause, kTime, kColumnCount };

    struct Counts {
        int done = 0;
        int failed = 0; // failed or skipped
        int left = 0;   // pending or running
    };
    // What changed since the last Take: rows first..last (none when
    // first > last) and whether the counts did.
    struct Changes {
        std::size_t first = 1;
        std::size_t last = 0;
        bool counts = false;
        bool Any() const { return counts || first <= last; }
    };

    // The job's rows, in its order; no changes pending after it.
    void Reset(const std::vector<BatchTerminal>& rows);
    // A row the run wrote; `port` for a call that starts.
    void Apply(const BatchTerminal& row, const std::string& port);
    Changes TakeChanges();

    std::size_t Size() const { return rows_.size(); }
    const BatchRow& Row(std::size_t index) const { return rows_[index]; }
    // The row of `terminal`, or none.
    std::optional<std::size_t> Find(int terminal) const;
    std::string Cell(std::size_t index, int column) const;
    static const char* ColumnCaption(int column);

    Counts Totals() const { return counts_; }
    // How many calls run side by side (the ports).
    void SetPorts(int ports) { ports_ = ports > 0 ? ports : 1; }
    // Seconds to the end: the mean time of the terminals done so far, for
    // each round of the ports over those left; none before the first is done.
    std::optional<std::int64_t> SecondsLeft() const;

private:
    void Count(int state, int delta);
    void Touch(std::size_t index);

    std::vector<BatchRow> rows_;
    std::unordered_map<int, std::size_t> index_;
    Counts counts_;
    std::int64_t doneSeconds_ = 0;
    int doneTimed_ = 0;
    int ports_ = 1;
    Changes changes_;
};

} // namespace tornu
