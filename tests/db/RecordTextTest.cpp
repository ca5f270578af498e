// Texts written through the records come back from the database byte for
// byte, on SQLite and on a server.
#include "RecordTestFixture.h"

#include "db/DeviceKey.h"
#include "db/DeviceParam.h"

namespace tornu {
namespace {

using RecordTextTest = test::RecordTest;

TEST_F(RecordTextTest, TextsComeBackAsWritten) {
    const std::string texts[] = {"O'Brien's ''x'' '", "Шлейф №1 «вход» ёЁ", "0012", "1e5",
                                 "{fn UCASE('x')} ?", "C:\\dir\\%s", ""};
    std::string loopText;
    while (loopText.size() < 100000)
        loopText += "M0=1(3,0,2,),Д'" + std::to_string(loopText.size()) + ",";
    {
        auto terminal = NewTerminal(7);
        ASSERT_TRUE(terminal);
        CDevice* part = terminal->CreateDevice(1, test::BusType(test::kPartitionType));
        ASSERT_TRUE(part);
        for (const std::string& text : texts) {
            SCOPED_TRACE(text);
            ASSERT_TRUE(terminal->SetPhone(text));
            ASSERT_TRUE(part->SetName(text + "/name"));
            ASSERT_TRUE(part->FindParam("OBJNAME")->SetValue(text));
            ASSERT_TRUE(part->Keys().front()->SetOwner(text));
            const auto loaded = Reload();
            ASSERT_EQ(loaded.size(), 1u);
            const CDevice& stored = *loaded[0]->FindDevice(1);
            EXPECT_EQ(loaded[0]->Phone(), text);
            EXPECT_EQ(stored.Name(), text + "/name");
            EXPECT_EQ(stored.FindParam("OBJNAME")->Value(), text);
            EXPECT_EQ(stored.Keys().front()->Owner(), text);
        }
        terminal->SetLoopConfiguration(loopText);
    }
    const auto terminals = Reload();
    ASSERT_EQ(terminals.size(), 1u);
    EXPECT_EQ(terminals[0]->ReadConfiguration(), loopText);
}

} // namespace
} // namespace tornu
