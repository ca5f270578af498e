// The job tables: made when missing beside the configuration's, a job and
// its terminals written in one go, each attempt's start and end, what a
// resume reopens, which program claims a terminal, and the texts an
// operator types and reads.
#include "batch/BatchClaims.h"
#include "batch/BatchStore.h"
#include "batch/BatchText.h"

#include "db/ConfigDatabase.h"
#include "protocol/CommandResult.h"

#include "TestDatabase.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <memory>

namespace tornu {
namespace {

class BatchStoreTest : public ::testing::Test {
protected:
    BatchStoreTest() { EXPECT_TRUE(store.Open()); }

    std::vector<int> States(int job) {
        std::vector<int> states;
        for (const BatchTerminal& row : store.Terminals(job))
            states.push_back(row.state);
        return states;
    }

    test::TempDir dir;
    CConfigDatabase db{test::FreshTestDatabaseSettings(), dir.Path().string()};
    CBatchStore store{db};
};

TEST_F(BatchStoreTest, AJobAndItsTerminalsGoThroughTheirStatesAndSurviveAReopen) {
    BatchJob job{0, "Район 4", "oper", "", "ReadStatus,SetClock", "ATTEMPTS=2;DELAY=5;", ""};
    ASSERT_TRUE(store.CreateJob(job, {15, 12, 16, 17}));
    EXPECT_GT(job.id, 0);

    BatchTerminal row{job.id, 12};
    row.attempts = 1;
    row.started = "2026-01-01 10:00:00";
    EXPECT_TRUE(store.MarkRunning(row));
    row.state = kBatchDone;
    row.ended = "2026-01-01 10:01:00";
    row.log = "Начало обмена\nOK\n";
    row.results = FormatResults({{"12/1", "ReadStatus", kCommandDone, ""}});
    EXPECT_TRUE(store.MarkEnded(row));
    EXPECT_TRUE(store.MarkRunning({job.id, 16}));
    EXPECT_TRUE(store.MarkEnded({job.id, 17, 0, kBatchFailed, 3, "Неверный пароль"}));
    EXPECT_TRUE(store.AppendJobLog(job.id, "Модем COM2 исключен из обмена"));

    // Read back by a new connection, as another program would.
    CConfigDatabase other{test::FreshTestDatabaseSettings(), dir.Path().string()};
    CBatchStore reader(other);
    const std::optional<BatchJob> read = reader.FindJob(job.id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, "Район 4");
    EXPECT_EQ(read->commands, "ReadStatus,SetClock");
    EXPECT_EQ(read->log, "Модем COM2 исключен из обмена\n");
    EXPECT_FALSE(read->created.empty());
    const std::vector<BatchTerminal> rows = reader.Terminals(job.id);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].terminal, 12); // in the order given
    EXPECT_EQ(rows[1].log, "Начало обмена\nOK\n");
    EXPECT_EQ(rows[1].attempts, 1);
    EXPECT_EQ(States(job.id),
              (std::vector<int>{kBatchPending, kBatchDone, kBatchRunning, kBatchFailed}));

    // A resume reopens what failed; running stays for whoever claims it.
    EXPECT_TRUE(store.ReopenFailed(job.id));
    EXPECT_EQ(States(job.id),
              (std::vector<int>{kBatchPending, kBatchDone, kBatchRunning, kBatchPending}));
    EXPECT_EQ(store.Terminals(job.id)[1].attempts, 1); // done stays as it was
    EXPECT_EQ(reader.State(job.id, 12), kBatchDone);
    EXPECT_EQ(reader.State(job.id, 99), -1);
    EXPECT_FALSE(store.AppendJobLog(job.id + 1, "никуда"));

    ASSERT_FALSE(store.Jobs().empty());
    EXPECT_EQ(store.Jobs().back().id, job.id);
    EXPECT_FALSE(store.FindJob(job.id + 1));
}

// Two programs on one database: a terminal claimed by one is skipped by the
// other until released, and a program that goes releases what it held.
TEST_F(BatchStoreTest, ATerminalIsClaimedByOneProgramAtATime) {
    CConfigDatabase other{test::FreshTestDatabaseSettings(), dir.Path().string()};
    auto first = std::make_unique<CBatchClaims>(db, 7);
    CBatchClaims second(other, 7);
    CBatchClaims otherJob(other, 8);
    EXPECT_TRUE(first->Claim(12));
    EXPECT_TRUE(first->Claim(12)); // held already
    EXPECT_FALSE(second.Claim(12));
    EXPECT_TRUE(second.Claim(13));
    EXPECT_TRUE(otherJob.Claim(12));
    first->Release(12);
    EXPECT_TRUE(second.Claim(12));
    EXPECT_TRUE(first->Claim(14));
    first.reset(); // the program ends, or dies
    EXPECT_TRUE(second.Claim(14));
}

TEST_F(BatchStoreTest, ANameTooLongIsRefusedAndNothingIsWritten) {
    BatchJob job{0, std::string(101, 'x')};
    const CResult made = store.CreateJob(job, {1});
    EXPECT_FALSE(made);
    EXPECT_NE(made.Error().find("100"), std::string::npos);
    EXPECT_TRUE(store.Jobs().empty() || store.Jobs().back().name != job.name);
}

TEST(BatchTextTest, TerminalLists) {
    const struct {
        const char* text;
        std::vector<int> numbers;
    } good[] = {
        {"12", {12}},
        {"12,15-17", {12, 15, 16, 17}},
        {" 3 , 1-2 ,3", {3, 1, 2}},
    };
    for (const auto& c : good) {
        std::string error;
        EXPECT_EQ(ParseTerminalList(c.text, error), c.numbers) << c.text << ": " << error;
    }
    for (const char* bad : {"", "12,", "x", "5-3", "1-", "-4", "1,,2"}) {
        std::string error;
        EXPECT_FALSE(ParseTerminalList(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    test::TempDir dir;
    test::WriteBytes(dir / "list.txt", "; район 4\n12 13\n20-22 # новые\n\n12\n");
    std::string error;
    EXPECT_EQ(ReadTerminalFile(dir / "list.txt", error), (std::vector<int>{12, 13, 20, 21, 22}));
    EXPECT_FALSE(ReadTerminalFile(dir / "none.txt", error));
}

TEST(BatchTextTest, SettingsAndTheReport) {
    const BatchSettings read = ReadBatchSettings(BatchSettingsText({5, 30000}));
    EXPECT_EQ(read.attempts, 5);
    EXPECT_EQ(read.retryDelayMs, 30000);
    EXPECT_EQ(ReadBatchSettings("").attempts, BatchSettings().attempts);
    const std::string files = *BatchFileText("Fw", kCommandFileIn, "/a b/fw.bin") +
                              *BatchFileText("Log", kCommandFileOut, "log.txt");
    EXPECT_EQ(BatchFileOf("ATTEMPTS=2;" + files, "Fw", kCommandFileIn), "/a b/fw.bin");
    EXPECT_EQ(BatchFileOf(files, "Fw", kCommandFileOut), "");
    EXPECT_FALSE(BatchFileText("Fw", kCommandFileIn, "a;b"));
    EXPECT_EQ(BatchTypesOf("ATTEMPTS=2;" + *BatchTypesText({"Раздел-8", "Клавиатура КЛ-2"})),
              (std::vector<std::string>{"Раздел-8", "Клавиатура КЛ-2"}));
    EXPECT_EQ(*BatchTypesText({}), "");
    EXPECT_FALSE(BatchTypesText({"a|b"}));
    EXPECT_EQ(BatchOutputFile("/j/events.txt", 12, -1), "/j/events_0012.txt");
    EXPECT_EQ(BatchOutputFile("events", 12, 3), "events_0012_03");

    const std::vector<BatchResultLine> lines = {
        {"12", "SetClock", kCommandDone, ""},
        {"12/1", "ReadStatus", kCommandFailed, "ОШИБКА: Ошибка, \"раздел\"\tтаб"},
        {"12/5", "ReadStatus", kCommandNotCompleted, ""},
    };
    const std::vector<BatchResultLine> back = ParseResults(FormatResults(lines));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1].text, "ОШИБКА: Ошибка, \"раздел\" таб");
    EXPECT_EQ(back[2].state, kCommandNotCompleted);

    BatchTerminal done{1, 12, 0, kBatchDone, 1};
    done.results = FormatResults(lines);
    BatchTerminal failed{1, 13, 1, kBatchFailed, 3, "Невозможно установить соединение: нет ответа"};
    EXPECT_EQ(BatchReportCsv({done, failed}),
              "Базовый модуль,Состояние,Попыток,Узел,Команда,Результат\r\n"
              "12,выполнено,1,12,SetClock,Успешно выполнена\r\n"
              "12,выполнено,1,12/1,ReadStatus,\"ОШИБКА: Ошибка, \"\"раздел\"\" таб\"\r\n"
              "12,выполнено,1,12/5,ReadStatus,Не завершена\r\n"
              "13,ошибка,3,,,Невозможно установить соединение: нет ответа\r\n");
}

} // namespace
} // namespace tornu
