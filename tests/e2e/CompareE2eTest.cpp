// "Сравнить с прибором" against the simulator: the reads store nothing, the
// differences name each value the terminal holds otherwise, and taking the
// terminal's values stores them with their history.
#include "E2eFixture.h"

#include "doc/ExchangeRuns.h"
#include "doc/NodeComparison.h"

namespace tornu::test {
namespace {

class CompareE2eTest : public E2eTest {
protected:
    // The comparison's reads run to their end against the simulator.
    void Read(CNodeComparison& comparison) {
        StartSimulator();
        const CResult started = comparison.Start(doc->Exchanges());
        ASSERT_TRUE(started) << started.Error();
        // The port is the reads' until they have finished.
        const std::string port = ModemPortName(doc->Workspace().Settings());
        EXPECT_TRUE(doc->Exchanges().PortBusy(port));
        CNodeComparison other(doc->Workspace(), kTerminal);
        EXPECT_EQ(other.Start(doc->Exchanges()).Error(), PortBusyMessage(port));
        std::vector<ExchangeLogLine> lines;
        EXPECT_TRUE(Eventually([&] { return comparison.Monitor().Poll(lines); }, 60000));
        StopSimulator();
        const CResult read = comparison.Finish();
        EXPECT_TRUE(read) << read.Error();
        EXPECT_FALSE(doc->Exchanges().PortBusy(port));
    }
    int HistoryRows() { return Count("change_history"); }
};

TEST_F(CompareE2eTest, TakingTheTerminalsValuesStoresThemWithTheirHistory) {
    CNodeComparison comparison(doc->Workspace(), kTerminal, 1);
    const int before = HistoryRows();
    Read(comparison);
    EXPECT_EQ(comparison.Read().size(), 4u) << "status, phone book, keys, loop configuration";
    EXPECT_EQ(Param(1, "DLYIN"), "30") << "the reads store nothing";
    EXPECT_EQ(HistoryRows(), before);

    const std::vector<NodeDifference> differences = comparison.Differences();
    const auto has = [&](const NodeDifference& expected) {
        return std::find(differences.begin(), differences.end(), expected) != differences.end();
    };
    EXPECT_TRUE(has({1, "Параметр DLYIN", "30", "20"}));
    EXPECT_TRUE(has({1, "Параметр OBJNAME", "Объект", "Офис"}));
    EXPECT_TRUE(has({1, "Телефон 1: Номер телефона", "", "+79001234567", DifferenceKind::Phone}));
    EXPECT_TRUE(has({1, "Телефон 1: Маска", "0", "255", DifferenceKind::Phone}));
    EXPECT_TRUE(has({1, "Ключ Мастер: Электронный номер", "", "540000001E3C5A01", DifferenceKind::Key}));
    EXPECT_TRUE(has({5, "Типы шлейфов", "0, 0", "0, 16", DifferenceKind::Loops}));
    EXPECT_EQ(CNodeComparison::WriteCodes(differences), (std::vector<std::int32_t>{17, 24, 9, 40}));
    for (const NodeDifference& difference : differences)
        EXPECT_NE(difference.stored, difference.terminal) << difference.what;

    const CResult taken = comparison.TakeTerminalValues(doc->Tree(), doc->Exchanges());
    ASSERT_TRUE(taken) << taken.Error();
    EXPECT_EQ(Param(1, "DLYIN"), "20");
    EXPECT_EQ(Value("SELECT key_value FROM device_key WHERE term_id=12 AND device_id=1 AND id=1"),
              "4500004433221101");
    EXPECT_TRUE(comparison.Differences().empty()) << "what was read is what is stored now";
    const auto rows = Rows("SELECT source, detail FROM change_history WHERE term_id=12 AND "
                           "device_id=1 AND what='Параметр DLYIN'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "ответ прибора");
    EXPECT_EQ(rows[0][1], "Сравнить с прибором: ReadStatus Чтение состояния и параметров");
    EXPECT_GE(HistoryRows(), before + static_cast<int>(differences.size()));
}

TEST_F(CompareE2eTest, ANodeGoneIsRefusedAndEachNodeReadsWhatFitsIt) {
    CNodeComparison gone(doc->Workspace(), kTerminal, 9);
    EXPECT_EQ(gone.Start(doc->Exchanges()).Error(), kNodeGoneMessage);
    // A subordinate device has no key list to read, the rest it has.
    CNodeComparison slave(doc->Workspace(), kTerminal, 5);
    const std::optional<ExchangeJob> job = slave.MakeJob();
    ASSERT_TRUE(job);
    std::vector<std::int32_t> codes;
    for (const ExchangeCommand& command : job->commands)
        codes.push_back(command.spec.code);
    EXPECT_EQ(codes, (std::vector<std::int32_t>{16, 23, 39}));
    EXPECT_EQ(job->commands.back().target, 1u) << "the loop configuration is the terminal's";
}

} // namespace
} // namespace tornu::test
