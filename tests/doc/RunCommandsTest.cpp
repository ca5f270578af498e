// "Выполнить команду ...": the questions, the commands offered by the node's
// kind, the operator's choice and what follows an exchange that fails at
// once (the port does not exist).
#include "DocTestFixture.h"

#include "catalogue/CommandDesc.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/NodeJob.h"
#include "protocol/CommandSet.h"
#include "protocol/ErrorText.h"
#include "protocol/TermMessage.h"

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

// What the commands are built from is copied when the job is made, on the
// calling thread: later changes of the records and of the input file do not
// reach the exchange.
TEST_F(DocTest, ExchangeJobIsACopyTakenAtTheStart) {
    Start();
    CTreeNode& node = AddDevice(AddTerminal(7), 1, kPartition8, "Офис");
    CDevice& device = *node.Device();
    ASSERT_TRUE(device.SetPassword("p1"));
    CCommandDesc upload;
    ASSERT_TRUE(upload.Read("U", "DESC=Файл;TYPE=D;NUM=61;FILE=I"));
    WriteBytes(dir / "in.bin", "A");
    upload.SetFileName(kCommandFileIn, dir / "in.bin");
    const ExchangeJob job = MakeExchangeJob(node.Terminal(), &device, {&upload});

    ASSERT_TRUE(device.SetPassword("later"));
    ASSERT_TRUE(node.Terminal().SetPhone("+7999"));
    WriteBytes(dir / "in.bin", "B");
    EXPECT_EQ(job.phone, "+7900");
    EXPECT_EQ(job.linkPassword, "link");
    ASSERT_EQ(job.commands.size(), 1u);
    EXPECT_EQ(job.commands[0].description, "Файл");
    const BuiltCommand built =
        BuildDeviceCommand(std::get<DeviceSnapshot>(job.node), job.commands[0].spec);
    ASSERT_TRUE(built.message);
    EXPECT_EQ(built.message->GetData(), "RZD=01;PASS=p1;FILE=41;");
}

} // namespace
