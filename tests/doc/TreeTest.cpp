#include "DocTestFixture.h"

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
