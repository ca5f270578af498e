// The option views' models and the changes made through them, on the sample
// catalogue and a real database.
#include "DocTestFixture.h"

#include "db/Device.h"
#include "db/Sensor.h"

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

// A second view, the sender of the changes: it must not hear of its own.
struct SenderView : IDocObserver {
    void OnNodeChanged(CTreeNode&) override { ++changes; }
    int changes = 0;
};

class ViewModelTest : public DocTest {
protected:
    ViewModelTest() {
        Start();
        doc->Tree().AddObserver(sender);
        master = &AddDevice(AddTerminal(7, kBm16), 2, kPartition8, "Склад", 2);
        AddDevice(*master, 6, kExpander, "", 2);
        AddDevice(*master, 4, kExpander, "", 1);
        EXPECT_TRUE(doc->Editor().DistributeLoops(Node(7)));
        view.told.clear();
        sender.changes = 0;
    }
    CDevice& Device(int address) { return *doc->Workspace().FindTerminal(7)->FindDevice(address); }

    SenderView sender;
    CTreeNode* master = nullptr;
};

TEST_F(ViewModelTest, DeviceViewListsOwnLoopsThenEachSlavesInSlaveOrder) {
    Device(2).SetSystemState(2);
    Device(2).SetLastKey(-1);
    doc->Workspace().FindTerminal(7)->FindLoop(1)->SetType(31);
    const DeviceViewModel model = *doc->Editor().DeviceView(*master);
    std::vector<std::pair<int, int>> loops; // loop, device
    for (const LoopRowModel& row : model.loops)
        loops.emplace_back(row.loop, row.device);
    EXPECT_EQ(loops, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}, {3, 4}, {4, 6}, {5, 6}}));
    EXPECT_EQ(model.loops[0].cells,
              (LoopListCells{"  1", "2", "", "-----------", "X", "X", "X", "X", "X"}));
    EXPECT_EQ(model.system[0].text, "На охране"); // mode first, green
    EXPECT_EQ(model.system[1].colour, kStateRed); // battery discharged
    EXPECT_EQ(model.lastKey, "");
    EXPECT_EQ(doc->Editor().DeviceView(Node(7, 4))->master, 2);
    EXPECT_FALSE(doc->Editor().DeviceView(Node(7)));
    EXPECT_EQ(doc->Editor().TerminalView(Node(7))->type, "БМ-16");
}

TEST_F(ViewModelTest, GridGroupsInOrderOfFirstAppearance) {
    // Groups A, none, B, A in value order; a read-only yes/no value; one
    // stored value that has no display form.
    CIniFile& settings = doc->Workspace().Settings();
    settings.SetValue("BusDevice.Parameters", "91",
                      "NAME=PA1;DESC=a1;GROUP=A;VTYPE=N;DTYPE=IO;DEFLT=1");
    settings.SetValue("BusDevice.Parameters", "92",
                      "NAME=P0;DESC=p0;VTYPE=L;DTYPE=O;LIST=x,y;DEFLT=0");
    settings.SetValue("BusDevice.Parameters", "93",
                      "NAME=PB;DESC=b;GROUP=B;VTYPE=B;DTYPE=I;DEFLT=1");
    settings.SetValue("BusDevice.Parameters", "94",
                      "NAME=PA2;DESC=a2;GROUP=A;VTYPE=B;DTYPE=IO;DEFLT=0");
    settings.SetValue("BusDevice.Type", "9",
                      "NAME=Тест;DSCNT=0;DMST=1;DSLV=0;TLN=1;PLIST=PA1,P0,PB,PA2");
    doc->Workspace().Catalogue().LoadTypes(settings);
    int type = -1;
    for (std::size_t i = 0; i < doc->Workspace().Catalogue().BusTypes().size(); ++i)
        if (doc->Workspace().Catalogue().BusTypes()[i]->Name() == "Тест")
            type = static_cast<int>(i);
    CTreeNode& node = AddDevice(Node(7), 9, type, "t");
    Device(9).SetParamValue("PA1", "abc");

    const ParamGridModel grid = *doc->Editor().ParamGrid(node);
    std::vector<std::tuple<int, int, std::string, GridCell, std::string>> rows;
    for (const ParamGridRow& row : grid.rows)
        rows.emplace_back(row.item, row.parentItem, row.label, row.cell, row.display);
    using R = decltype(rows)::value_type;
    EXPECT_EQ(rows, (std::vector<R>{R{10000, -1, "Параметры устройства", GridCell::None, ""},
                                    R{10001, 10000, "A", GridCell::None, ""},
                                    R{0, 10001, "a1", GridCell::Edit, "abc"},
                                    R{1, 10000, "p0", GridCell::List, "x"},
                                    R{10002, 10000, "B", GridCell::None, ""},
                                    R{2, 10002, "b", GridCell::Static, "Да"},
                                    R{3, 10001, "a2", GridCell::YesNo, "Нет"}}));
    EXPECT_TRUE(grid.Find(0)->unconverted);
    EXPECT_EQ(grid.Find(2)->colour, kGridReadOnlyColour);
}

TEST_F(ViewModelTest, ParamEditsStoreOrRefuseAndTellTheOtherViews) {
    const EditResult stored = doc->Editor().EditParam(*master, "SIRTIME", "2", &sender);
    EXPECT_EQ(stored.outcome, EditOutcome::Stored);
    EXPECT_EQ(Rows("SELECT param_value FROM device_param WHERE device_id=2 AND name='SIRTIME'"),
              (std::vector<Strings>{{"120"}}));
    EXPECT_EQ(view.Kinds(), std::vector<Told>{Told::Changed});
    EXPECT_EQ(sender.changes, 0);

    const EditResult bad = doc->Editor().EditParam(*master, "DLYIN", "x1", &sender);
    EXPECT_EQ(bad.outcome, EditOutcome::BadFormat);
    EXPECT_EQ(bad.previousDisplay, "30");
    const EditResult readOnly = doc->Editor().EditParam(*master, "FWVER", "2.0", &sender);
    EXPECT_EQ(readOnly.outcome, EditOutcome::ReadOnly);
    EXPECT_EQ(op.messages,
              (Strings{std::string(kParamBadFormatMessage), std::string(kParamReadOnlyMessage)}));
    EXPECT_EQ(view.told.size(), 1u);
}

TEST_F(ViewModelTest, LoopEditsWriteOnlyWhatChanged) {
    LoopInput input{{true, false, true, false, false}, "Окна"};
    EXPECT_TRUE(doc->Editor().EditLoop(*master, 4, input, &sender)); // a slave's loop
    EXPECT_EQ(Rows("SELECT type,name FROM sensor WHERE id=4"),
              (std::vector<Strings>{{"5", "Окна"}}));
    EXPECT_EQ(view.Kinds(), std::vector<Told>{Told::Changed});
    EXPECT_TRUE(doc->Editor().EditLoop(*master, 4, input, &sender));
    EXPECT_EQ(view.told.size(), 1u);                  // nothing changed, nothing told
    EXPECT_FALSE(doc->Editor().EditLoop(Node(7, 4), 1, input)); // the master's loop, not the slave's
    EXPECT_EQ(sender.changes, 0);
}

TEST_F(ViewModelTest, PhoneBookAndKeyEdits) {
    const PhoneBookModel book = *doc->Editor().PhoneBook(*master);
    ASSERT_TRUE(book.hasLayout);
    ASSERT_EQ(book.rows.size(), 24u); // TLN 8 of each kind
    EXPECT_EQ(book.rows[8].type, "VOICE");

    // The SMS format and a bad key are the desktop test's; here the rest.
    EXPECT_TRUE(doc->Editor().SetPhoneMaskBit(*master, 8, 7, true, &sender));
    EXPECT_TRUE(doc->Editor().SetPhoneMaskBit(*master, 8, 7, false, &sender));
    EXPECT_FALSE(doc->Editor().SetPhoneMask(*master, 8, 1 << 24));
    EXPECT_FALSE(doc->Editor().SetPhoneNumber(*master, 8, "+7 900"));
    EXPECT_TRUE(doc->Editor().SetPhoneNumber(*master, 8, "  +7900 ", &sender));
    EXPECT_EQ(op.messages, Strings{std::string(kPhoneDigitsMessage)});
    EXPECT_EQ(doc->Editor().PhoneBook(*master)->rows[8].phone, "+7900");
    EXPECT_TRUE(doc->Editor().SetKey(*master, 1, "540000001E3C5A01", std::string("О'Нил"), &sender));
    EXPECT_EQ(doc->Editor().KeyList(*master)->front().label, "Мастер");
    EXPECT_EQ(sender.changes, 0);
}

TEST(PhoneBookModel, BandsOfAThird) {
    Strings grey;
    for (std::size_t i = 0; i < 9; ++i)
        grey.push_back(PhoneBookRowGrey(i, 9) ? "g" : "w");
    EXPECT_EQ(grey, (Strings{"w", "g", "g", "w", "g", "g", "w", "g", "g"}));
    EXPECT_FALSE(PhoneBookRowGrey(1, 2)); // fewer than three rows: no bands
}

} // namespace
