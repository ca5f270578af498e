// "Выполнить команду ...": the questions, the commands offered by the node's
// kind, the operator's choice and what follows an exchange that fails at
// once (the port does not exist).
#include "DocTestFixture.h"

#include "catalogue/CommandDesc.h"
#include "db/Device.h"

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

struct ExchangeView : RecordingView {
    void OnExchangeStarted(CTreeNode&) override { events.push_back("started"); }
    void OnExchangeEnded(CTreeNode&) override { events.push_back("ended"); }
    Strings events;
};

TEST_F(DocTest, RunCommandsAsksChoosesAndRunsOnlyAfterYes) {
    Start();
    doc->Workspace().Settings().SetValue("Modem", "ComPort", dir / "no-such-port");
    CTreeNode& partition = AddDevice(AddTerminal(7), 1, kPartition8, "Офис");
    partition.Device()->SetPassword("");
    ExchangeView exchangeView;
    doc->Tree().AddObserver(exchangeView);
    op.answers = {false};
    EXPECT_EQ(doc->Exchanges().RunCommands(partition), ExchangeOutcome::NotStarted);
    EXPECT_EQ(op.questions, Strings{kNoPartitionPasswordQuestion});
    EXPECT_TRUE(op.offered.empty());

    op.answers = {true};
    op.choose = [](const std::vector<CCommandDesc*>& offered) {
        return CommandChoice{{offered.front()}, true};
    };
    // While it runs, the views are given nothing of the records.
    op.onPoll = [&] { EXPECT_FALSE(doc->Editor().DeviceView(partition)); };
    view.told.clear();
    EXPECT_EQ(doc->Exchanges().RunCommands(partition), ExchangeOutcome::Failed);
    Strings offered;
    for (const CCommandDesc* command : op.offered)
        offered.push_back(command->Name());
    // Partition commands: "D" and "DM", none of the terminal's or a slave's.
    EXPECT_EQ(offered, (Strings{"ReadStatus", "WriteParams", "WriteDelays", "WriteSiren",
                                "ReadPhoneBook", "WritePhoneBook", "ReadKeys", "WriteKeys",
                                "ChangePartitionPassword", "Arm", "Disarm"}));
    EXPECT_EQ(exchangeView.events, (Strings{"started", "ended"}));
    EXPECT_EQ(op.results.size(), 1u);
    EXPECT_EQ(op.log.back().rfind("ОШИБКА: Невозможно открыть порт модема: порт ", 0), 0u);
    EXPECT_EQ(view.told.back(), std::make_pair(Told::Changed, &partition));
    EXPECT_TRUE(doc->Editor().DeviceView(partition));
}

} // namespace
