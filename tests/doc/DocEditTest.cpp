#include "DocTestFixture.h"

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

const char* const kDeviceTables[] = {"device", "device_param", "device_phone", "device_key",
                                     "sensor"};

} // namespace

TEST_F(DocTest, NewTerminalAndItsRefusals) {
    Start();
    EXPECT_TRUE(doc->Editor().NewTerminal({"7", kBm4, 2, "+7 900", "link", "next"}));
    EXPECT_EQ(Outline(), (Strings{"[0007] БМ-4", "  [00] "}));
    EXPECT_EQ(Rows("SELECT id,phone,password FROM terminal"),
              (std::vector<Strings>{{"7", "+7 900", "link"}}));
    EXPECT_EQ(Rows("SELECT id,sensor_cnt FROM device"), (std::vector<Strings>{{"0", "2"}}));
    const struct {
        TerminalInput input;
        const char* message;
    } refusals[] = {
        {{.number = "", .hostType = kBm4}, kEnterNumberMessage},
        {{.number = "8", .hostType = -1}, kChooseTypeMessage},
        {{.number = "7", .hostType = kBm16}, kAddTerminalFailedMessage},
        {{.number = "8", .hostType = 2}, kAddTerminalFailedMessage},
    };
    for (const auto& c : refusals) {
        op.messages.clear();
        EXPECT_FALSE(doc->Editor().NewTerminal(c.input));
        EXPECT_EQ(op.messages, Strings{c.message}) << c.input.number;
    }
    EXPECT_EQ(Count("terminal"), 1);
    // Text that is no number gives terminal 0.
    EXPECT_TRUE(doc->Editor().NewTerminal({.number = "семь", .hostType = kBm16}));
    EXPECT_NE(doc->Workspace().FindTerminal(0), nullptr);
}

TEST_F(DocTest, NewDeviceRefusals) {
    Start();
    CTreeNode& terminal = AddTerminal(7);
    CTreeNode& store = AddDevice(terminal, 5, kPartition16, "Склад");
    CTreeNode& slave = AddDevice(store, 3, kExpander);
    const char* const kFailed = kAddDeviceFailedMessage;
    const struct {
        const char* name;
        CTreeNode& parent;
        DeviceInput input;
        const char* message;
    } cases[] = {
        {"NoAddress", terminal, {.address = -1, .busType = kPartition8}, kChooseAddressMessage},
        {"NoType", terminal, {.address = 6, .busType = -1}, kChooseTypeMessage},
        {"AddressTaken", terminal, {.address = 5, .busType = kPartition8}, kFailed},
        {"SlaveTypeOnTerminal", terminal, {.address = 6, .busType = kExpander}, kFailed},
        {"TopLevelTypeAsSlave", store, {.address = 6, .busType = kPartition8}, kFailed},
        {"SlaveOfSlave", slave, {.address = 6, .busType = kRelay}, kFailed},
    };
    const Strings outline = Outline();
    for (const auto& c : cases) {
        op.messages.clear();
        EXPECT_FALSE(doc->Editor().NewDevice(c.parent, c.input)) << c.name;
        EXPECT_EQ(op.messages, Strings{c.message}) << c.name;
    }
    EXPECT_EQ(Count("device"), 3);
    EXPECT_EQ(Outline(), outline);
}

TEST_F(DocTest, EditsWriteThroughAndRelabel) {
    Start();
    CTreeNode& terminal = AddTerminal(7);
    CTreeNode& store = AddDevice(terminal, 5, kPartition16, "Склад");
    // The desktop test edits through the dialogs; here the quotes and the new passwords.
    EXPECT_TRUE(doc->Editor().EditTerminal(terminal, {"", -1, 0, "+7911", "it's", "new"}));
    EXPECT_TRUE(doc->Editor().EditDevice(store, {5, kPartition16, 0, "Архив «А»", "p'w", "np"}));
    EXPECT_EQ(Rows("SELECT name,password FROM device WHERE id=5"),
              (std::vector<Strings>{{"Архив «А»", "p'w"}}));
    EXPECT_EQ(store.Device()->NewPassword(), "np");
    EXPECT_EQ(store.Label(), "[05] Архив «А»");
    EXPECT_EQ(view.told.back(), std::make_pair(Told::Changed, &store));

    EXPECT_FALSE(doc->Editor().EditTerminal(store, {}));
    EXPECT_FALSE(doc->Editor().EditDevice(terminal, {}));
    EXPECT_EQ(op.messages, (Strings{kEditTerminalFailedMessage, kEditDeviceFailedMessage}));
}

TEST_F(DocTest, DeletingMasterRemovesEverySlaveRowAndItem) {
    Start();
    for (bool structure : {true, false}) {
        const int id = structure ? 1 : 2;
        CTreeNode& store = AddDevice(AddTerminal(id), 5, kPartition16, "Склад");
        for (int address : {1, 3, 9})
            AddDevice(store, address, address == 9 ? kUniversal : kExpander, {}, 2);
        doc->Editor().DistributeLoops(Node(id));
        if (!structure)
            doc->Tree().ToggleStructure();
        CTreeNode* master = doc->Tree().Find(*doc->Workspace().FindTerminal(id)->FindDevice(5));
        doc->Tree().Select(doc->Tree().Find(*doc->Workspace().FindTerminal(id)->FindDevice(3)));
        view.told.clear();

        EXPECT_TRUE(doc->Editor().DeleteNode(*master));
        EXPECT_EQ(view.Kinds(), std::vector<Told>(4, Told::Deleting));
        EXPECT_EQ(view.shown, nullptr);
        for (const char* table : kDeviceTables)
            EXPECT_EQ(
                Count(table, "term_id=" + std::to_string(id) +
                                 (table == kDeviceTables[0] ? " AND id<>0" : " AND device_id<>0")),
                0)
                << table;
        EXPECT_EQ(doc->Workspace().FindTerminal(id)->DeviceCount(), 1u);
        EXPECT_EQ(Outline().size(), 2u); // terminal 1 and its module; the modules of both
        if (!structure)
            doc->Tree().ToggleStructure();
    }
}

TEST_F(DocTest, DeletingTerminals) {
    Start();
    CTreeNode& terminal = AddTerminal(7);
    AddDevice(terminal, 4, kPartition8, "Склад");
    EXPECT_FALSE(doc->Editor().DistributeLoops(Node(7, 4))) << "only a terminal's";
    EXPECT_TRUE(doc->Editor().DistributeLoops(terminal));
    EXPECT_EQ(view.told.back(), std::make_pair(Told::Changed, &terminal));
    EXPECT_FALSE(doc->Editor().DeleteNode(Node(7, 0))); // the terminal's own module
    doc->Tree().Select(&Node(7, 4));
    EXPECT_EQ(view.pane, Pane::DeviceOptions);

    EXPECT_TRUE(doc->Editor().DeleteNode(terminal));
    for (const char* table : kDeviceTables)
        EXPECT_EQ(Count(table), 0) << table;
    EXPECT_EQ(view.pane, Pane::Empty);
    EXPECT_EQ(view.told.back(), std::make_pair(Told::Show, static_cast<CTreeNode*>(nullptr)));
}
