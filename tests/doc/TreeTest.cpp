#include "DocTestFixture.h"

#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/TreeModel.h"

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

const Strings kStructure = {"[0003] БМ-16", "  [00] Склад", "[0012] БМ-4",
                            "  [00] ",      "  [07] Склад", "    [03] "};
const Strings kFlat = {"Базовый модуль [0012], раздел [00]", "Базовый модуль [0012], раздел [03]",
                       "Склад", "Склад"};

} // namespace

class TreeTest : public DocTest {
protected:
    void SetUp() override {
        Start();
        AddDevice(AddDevice(AddTerminal(12), 7, kPartition8, "Склад"), 3, kExpander);
        // No built-in module: the first network device takes address 0.
        AddDevice(AddTerminal(3, kBm16), 0, kPartition16, "Склад");
    }
};

// A slave whose master is gone is in no item.
TEST_F(TreeTest, LabelsAndOrderSurviveARestart) {
    ASSERT_TRUE(doc->Workspace().Database().Execute(
        "INSERT INTO device SELECT term_id,4,password,name,9,last_key,systemstate,last_time,"
        "config,sensor_cnt FROM device WHERE term_id=12 AND id=3"));
    EXPECT_EQ(Outline(), kStructure);
    Restart();
    EXPECT_NE(doc->Workspace().FindTerminal(12)->FindDevice(4), nullptr);
    EXPECT_EQ(Outline(), kStructure);
}

// A fleet large enough to be made on two threads gives the items, and among
// equal labels the order, that inserting them one by one gives.
TEST_F(TreeTest, ALargeFleetMadeInHalvesIsTheTreeMadeOneByOne) {
    CConfigDatabase& db = doc->Workspace().Database();
    const char* copies = "WITH RECURSIVE n(i) AS (SELECT 13 UNION ALL SELECT i+1 FROM n WHERE i<5012) ";
    ASSERT_TRUE(db.Execute(std::string(copies) +
                           "INSERT INTO terminal SELECT n.i,phone,password,config,term_config "
                           "FROM terminal, n WHERE id=12")) << db.LastError();
    ASSERT_TRUE(db.Execute(std::string(copies) +
                           "INSERT INTO device SELECT n.i,id,password,name,master_id,last_key,"
                           "systemstate,last_time,config,sensor_cnt FROM device, n "
                           "WHERE term_id=12")) << db.LastError();
    Restart();
    const auto& terminals = doc->Workspace().Terminals();
    ASSERT_EQ(terminals.size(), 5002u);
    const auto items = [](const CTreeModel& model) {
        std::vector<std::pair<std::string, const CDevice*>> seen;
        model.ForEach([&](CTreeNode& node) { seen.emplace_back(node.Label(), node.Device()); });
        return seen;
    };
    for (bool structure : {true, false}) {
        CTreeModel oneByOne;
        for (const auto& terminal : terminals) {
            CTreeNode* parent = structure ? &oneByOne.InsertTerminal(*terminal) : nullptr;
            for (const auto& device : terminal->Devices()) {
                if (!device->IsTopLevel())
                    continue;
                CTreeNode& item = oneByOne.InsertDevice(parent, *device, structure);
                for (CDevice* slave : device->Slaves())
                    oneByOne.InsertDevice(structure ? &item : nullptr, *slave, structure);
            }
        }
        CTreeModel halves;
        halves.Fill(terminals, structure);
        EXPECT_EQ(items(halves), items(oneByOne)) << structure;
    }
}
