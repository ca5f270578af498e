// The window's view of a job: counts and the expected end kept up from the
// run's rows one at a time, the changes gathered into one range, and the
// stored time texts read and shown back.
#include "batch/BatchViewModel.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

BatchTerminal Row(int terminal, int state, const std::string& started = {},
                  const std::string& ended = {}, int attempts = 0) {
    BatchTerminal row;
    row.terminal = terminal;
    row.state = state;
    row.started = started;
    row.ended = ended;
    row.attempts = attempts;
    return row;
}

TEST(BatchViewModelTest, CountsAndTheExpectedEndFollowTheRun) {
    CBatchViewModel model;
    // As stored: one done in 60 s, one failed, one skipped, the rest to do.
    model.Reset({Row(10, kBatchDone, "2026-12-07 10:00:00", "2026-12-07 10:01:00", 1),
                 Row(11, kBatchFailed, "", "2026-12-07 10:02:00", 3),
                 Row(12, kBatchSkipped), Row(13, kBatchPending), Row(14, kBatchPending),
                 Row(15, kBatchRunning)});
    EXPECT_FALSE(model.TakeChanges().Any());
    const auto totals = [&model] {
        const CBatchViewModel::Counts c = model.Totals();
        return std::to_string(c.done) + "/" + std::to_string(c.failed) + "/" + std::to_string(c.left);
    };
    EXPECT_EQ(totals(), "1/2/3");
    model.SetPorts(2);
    // 60 s a terminal, three left over two ports: two rounds.
    EXPECT_EQ(model.SecondsLeft(), 120);

    const struct {
        const char* name;
        BatchTerminal row;
        const char* port;
        const char* totals;
        std::optional<std::int64_t> left;
        const char* state;
        const char* time;
    } steps[] = {
        {"a call starts", Row(13, kBatchRunning, "2026-12-07 10:05:00", "", 1), "COM2", "1/2/3",
         120, "выполняется", "07.12.2026 10:05:00"},
        {"it is done in 180 s", Row(13, kBatchDone, "", "2026-12-07 10:08:00", 1), "", "2/2/2",
         120, "выполнено", "07.12.2026 10:08:00"},
        {"another fails for good", Row(14, kBatchFailed, "", "2026-12-07 10:09:00", 3), "",
         "2/3/1", 120, "ошибка", "07.12.2026 10:09:00"},
        {"a cancelled call is to do again", Row(15, kBatchPending, "", "2026-12-07 10:09:30", 1), "",
         "2/3/1", 120, "ожидает", "07.12.2026 10:09:30"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        model.Apply(step.row, step.port);
        EXPECT_EQ(totals(), step.totals);
        EXPECT_EQ(model.SecondsLeft(), step.left);
        const std::size_t at = *model.Find(step.row.terminal);
        EXPECT_EQ(model.Cell(at, CBatchViewModel::kState), step.state);
        EXPECT_EQ(model.Cell(at, CBatchViewModel::kTime), step.time);
    }
    // The modem stays with the row after its call.
    EXPECT_EQ(model.Cell(3, CBatchViewModel::kModem), "COM2");
    EXPECT_EQ(model.Cell(3, CBatchViewModel::kTerminal), "[0013]");

    // All four steps in one range, rows 3 to 5, and the counts changed.
    const CBatchViewModel::Changes changes = model.TakeChanges();
    EXPECT_EQ(changes.first, 3u);
    EXPECT_EQ(changes.last, 5u);
    EXPECT_TRUE(changes.counts);
    EXPECT_FALSE(model.TakeChanges().Any());

    // A terminal not in the job changes nothing.
    model.Apply(Row(99, kBatchDone), "");
    EXPECT_FALSE(model.TakeChanges().Any());
    EXPECT_FALSE(model.Find(99));
}

TEST(BatchViewModelTest, NoExpectedEndBeforeTheFirstIsDone) {
    CBatchViewModel model;
    model.Reset({Row(1, kBatchFailed, "", "2026-12-07 10:00:00"), Row(2, kBatchPending)});
    EXPECT_FALSE(model.SecondsLeft());
    // A done row without its start (an old row) gives no time to count.
    model.Apply(Row(2, kBatchDone, "", "2026-12-07 10:00:00"), "");
    EXPECT_FALSE(model.SecondsLeft());
}

TEST(BatchViewModelTest, StoredTimesReadAndShownBack) {
    const struct {
        const char* stored;
        std::int64_t seconds;
        const char* shown;
    } cases[] = {
        {"1970-01-01 00:00:01", 1, "01.01.1970 00:00:01"},
        {"2024-02-29 23:59:59", 1709251199, "29.02.2024 23:59:59"},
        {"2026-12-31 12:00:00", 1798718400, "31.12.2026 12:00:00"},
        {"", 0, ""},
        {"31.12.2026", 0, ""},
        {"2026-13-01 00:00:00", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BatchSeconds(c.stored), c.seconds) << c.stored;
        EXPECT_EQ(BatchTimeText(c.seconds), c.shown) << c.stored;
    }
}

} // namespace
} // namespace tornu
