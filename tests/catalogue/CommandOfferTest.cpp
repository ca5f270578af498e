#include "catalogue/CommandOffer.h"
#include "catalogue/Catalogue.h"
#include "settings/IniFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tornu {
namespace {

constexpr const char* kCommands = "[BusDevice.Commands]\n"
                                  "Link=NUM=1;TYPE=T;DESC=Проверка связи\n"
                                  "Status=NUM=16;TYPE=D;DESC=Чтение состояния\n"
                                  "Keys=NUM=38;TYPE=DM;DESC=Чтение ключей\n"
                                  "Outputs=NUM=17;TYPE=DS;DESC=Запись выходов;PLIST=OUTMODE\n"
                                  "Firmware=NUM=60;TYPE=T;DESC=Загрузка ПО;FILE=I\n"
                                  "Events=NUM=61;TYPE=D;DESC=Журнал;FILE=O\n"
                                  "Program=NUM=62;TYPE=DM;DESC=Программа;FILE=IO\n";

std::vector<std::string> Names(const std::vector<CCommandDesc*>& commands) {
    std::vector<std::string> names;
    for (const CCommandDesc* command : commands)
        names.push_back(command->Name());
    return names;
}

CCatalogue LoadCatalogue(CIniFile& file) {
    CCatalogue catalogue;
    catalogue.LoadTypes(file);
    return catalogue;
}

TEST(CommandOfferTest, NodeOfADevice) {
    EXPECT_EQ(DeviceCommandNode(-1), CommandNode::TopLevelDevice);
    EXPECT_EQ(DeviceCommandNode(0), CommandNode::SubordinateDevice);
    EXPECT_EQ(DeviceCommandNode(7), CommandNode::SubordinateDevice);
    EXPECT_EQ(DeviceCommandNode(-2), CommandNode::SubordinateDevice); // only -1 means none
}

struct OfferCase {
    const char* name;
    CommandNode node;
    std::vector<std::string> offered;
};

TEST(CommandOfferTest, KindFitsTheNodeInCatalogueOrder) {
    const OfferCase cases[] = {
        {"terminal", CommandNode::Terminal, {"Link", "Firmware"}},
        {"top-level device", CommandNode::TopLevelDevice, {"Status", "Keys", "Events", "Program"}},
        {"subordinate device", CommandNode::SubordinateDevice, {"Status", "Outputs", "Events"}},
    };
    CIniFile file;
    file.LoadFromBytes(kCommands);
    CCatalogue catalogue = LoadCatalogue(file);
    ASSERT_EQ(catalogue.Commands().size(), 7u);
    for (const OfferCase& c : cases)
        EXPECT_EQ(Names(PrepareCommandOffer(catalogue, file, c.node)), c.offered) << c.name;
}

TEST(CommandOfferTest, PreparingResetsResultsAndTakesRememberedNames) {
    CIniFile file;
    file.LoadFromBytes(std::string(kCommands) + "[BusDevice.Commands.Files]\n"
                                                "Firmware_FileIn=/data/bm4.bin\n"
                                                "Firmware_FileOut=/data/not-an-output.bin\n"
                                                "Program_FileOut=/data/answer.bin\n");
    CCatalogue catalogue = LoadCatalogue(file);
    for (const auto& command : catalogue.Commands())
        command->SetResult(kCommandFailed, "ОШИБКА: Нет ответа");
    CCommandDesc& program = *catalogue.Commands()[6];
    program.SetFileName(kCommandFileIn, "/data/earlier.bin");

    const std::vector<CCommandDesc*> offered =
        PrepareCommandOffer(catalogue, file, CommandNode::Terminal);

    // Every catalogue command is reset, offered or not.
    for (const auto& command : catalogue.Commands()) {
        EXPECT_EQ(command->ResultState(), kCommandNotCompleted) << command->Name();
        EXPECT_EQ(command->ResultText(), "") << command->Name();
    }
    const CCommandDesc& firmware = *catalogue.Commands()[4];
    EXPECT_EQ(firmware.FileName(kCommandFileIn), "/data/bm4.bin");
    EXPECT_EQ(firmware.FileName(kCommandFileOut), ""); // it has no output file
    // A name not remembered stays as it was.
    EXPECT_EQ(program.FileName(kCommandFileIn), "/data/earlier.bin");
    EXPECT_EQ(program.FileName(kCommandFileOut), "/data/answer.bin");
}

TEST(CommandOfferTest, FileNamesSurviveASavedSettingsFile) {
    test::TempDir dir;
    const std::string path = dir / "tornucfg.ini";
    test::WriteBytes(path, kCommands);
    {
        CIniFile file;
        ASSERT_TRUE(file.Load(path));
        CCatalogue catalogue = LoadCatalogue(file);
        std::vector<CCommandDesc*> offered =
            PrepareCommandOffer(catalogue, file, CommandNode::TopLevelDevice);
        ASSERT_EQ(Names(offered),
                  (std::vector<std::string>{"Status", "Keys", "Events", "Program"}));
        offered[2]->SetFileName(kCommandFileOut, "/home/op/журнал.bin");
        offered[3]->SetFileName(kCommandFileIn, "/home/op/prog.bin");
        offered[3]->SetFileName(kCommandFileOut, "/home/op/answer.bin");
        ASSERT_TRUE(RememberCommandFiles(offered, file));
    }
    CIniFile reloaded;
    ASSERT_TRUE(reloaded.Load(path));
    std::string value;
    EXPECT_TRUE(reloaded.GetValue(kCommandFilesSection, "Events_FileOut", value));
    EXPECT_EQ(value, "/home/op/журнал.bin");
    // Only the files a command has get a key.
    EXPECT_FALSE(reloaded.GetValue(kCommandFilesSection, "Events_FileIn", value));
    EXPECT_FALSE(reloaded.GetValue(kCommandFilesSection, "Status_FileIn", value));
    EXPECT_EQ(reloaded.CountEntries(kCommandFilesSection), 3);

    CCatalogue catalogue = LoadCatalogue(reloaded);
    const std::vector<CCommandDesc*> offered =
        PrepareCommandOffer(catalogue, reloaded, CommandNode::TopLevelDevice);
    ASSERT_EQ(offered.size(), 4u);
    EXPECT_EQ(offered[2]->FileName(kCommandFileOut), "/home/op/журнал.bin");
    EXPECT_EQ(offered[3]->FileName(kCommandFileIn), "/home/op/prog.bin");
    EXPECT_EQ(offered[3]->FileName(kCommandFileOut), "/home/op/answer.bin");
}

TEST(CommandOfferTest, OnlyOfferedCommandsAreWrittenBack) {
    test::TempDir dir;
    const std::string path = dir / "tornucfg.ini";
    test::WriteBytes(path, kCommands);
    CIniFile file;
    ASSERT_TRUE(file.Load(path));
    CCatalogue catalogue = LoadCatalogue(file);
    catalogue.Commands()[6]->SetFileName(kCommandFileIn, "/data/program.bin"); // DM, not offered
    const auto offered = PrepareCommandOffer(catalogue, file, CommandNode::Terminal);
    ASSERT_TRUE(RememberCommandFiles(offered, file));

    CIniFile reloaded;
    ASSERT_TRUE(reloaded.Load(path));
    std::string value = "x";
    EXPECT_TRUE(reloaded.GetValue(kCommandFilesSection, "Firmware_FileIn", value));
    EXPECT_EQ(value, ""); // an empty name is remembered as empty
    EXPECT_FALSE(reloaded.GetValue(kCommandFilesSection, "Program_FileIn", value));
}

TEST(CommandOfferTest, FailuresToRememberAreReported) {
    CIniFile unnamed; // never bound to a file: cannot be saved
    unnamed.LoadFromBytes(kCommands);
    CCatalogue catalogue = LoadCatalogue(unnamed);
    auto offered = PrepareCommandOffer(catalogue, unnamed, CommandNode::TopLevelDevice);
    EXPECT_FALSE(RememberCommandFiles(offered, unnamed));

    test::TempDir dir;
    const std::string path = dir / "tornucfg.ini";
    test::WriteBytes(path, kCommands);
    CIniFile file;
    ASSERT_TRUE(file.Load(path));
    offered = PrepareCommandOffer(catalogue, file, CommandNode::TopLevelDevice);
    offered[2]->SetFileName(kCommandFileOut, "/data/a\nb.bin");
    offered[3]->SetFileName(kCommandFileIn, "/data/prog.bin");
    EXPECT_FALSE(RememberCommandFiles(offered, file));
    // The other names are still written and saved.
    CIniFile reloaded;
    ASSERT_TRUE(reloaded.Load(path));
    std::string value;
    EXPECT_TRUE(reloaded.GetValue(kCommandFilesSection, "Program_FileIn", value));
    EXPECT_EQ(value, "/data/prog.bin");
    EXPECT_FALSE(reloaded.GetValue(kCommandFilesSection, "Events_FileOut", value));
}

} // namespace
} // namespace tornu
