// The document's own exchange against the simulator, with views attached
// that poll and ask for their models as a window does: nothing of the records
// while the worker runs, the new states once it has ended.
#include "E2eFixture.h"

namespace tornu::test {
namespace {

TEST_F(E2eTest, DocumentExchangeKeepsTheViewsOffTheRecords) {
    StartSimulator();
    CTreeNode& partition = Node(kTerminal, 1);
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        return CommandChoice{{&Command("ReadStatus")}, false};
    };
    int polls = 0;
    op.onPoll = [&] {
        ++polls;
        EXPECT_FALSE(doc->Editor().DeviceView(partition));
        EXPECT_FALSE(doc->Editor().ParamGrid(partition));
        EXPECT_EQ(doc->Editor().EditParam(partition, "DLYIN", "5").outcome, EditOutcome::Ignored);
        // Paced as the window's timer is, leaving the processor to the worker.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    EXPECT_EQ(doc->Exchanges().RunCommands(partition), ExchangeOutcome::Finished);
    StopSimulator();
    EXPECT_GT(polls, 0);
    const DeviceViewModel shown = *doc->Editor().DeviceView(partition);
    EXPECT_EQ(shown.system[0].text, "На охране");
    EXPECT_EQ(shown.lastKey, "2");
}

} // namespace
} // namespace tornu::test
