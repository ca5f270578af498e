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

CCatalogue LoadCatalogue(CIniFile& file) {
    CCatalogue catalogue;
    catalogue.LoadTypes(file);
    return catalogue;
}

TEST(CommandOfferTest, OfferedFileNamesSurviveASavedSettingsFile) {
    test::TempDir dir;
    const std::string path = dir / "tornucfg.ini";
    test::WriteBytes(path, kCommands);
    {
        CIniFile file;
        ASSERT_TRUE(file.Load(path));
        CCatalogue catalogue = LoadCatalogue(file);
        catalogue.Commands()[4]->SetFileName(kCommandFileIn, "/data/fw.bin"); // T, not offered
        std::vector<CCommandDesc*> offered =
            PrepareCommandOffer(catalogue, file, CommandNode::TopLevelDevice);
        offered[2]->SetFileName(kCommandFileOut, "/home/op/журнал.bin");
        offered[3]->SetFileName(kCommandFileIn, "/home/op/prog.bin");
        ASSERT_TRUE(RememberCommandFiles(offered, file));
        // A name the file cannot hold is reported; the others are still saved.
        offered[3]->SetFileName(kCommandFileOut, "/data/a\nb.bin");
        EXPECT_FALSE(RememberCommandFiles(offered, file));
    }
    CIniFile reloaded;
    ASSERT_TRUE(reloaded.Load(path));
    // Only the files an offered command has get a key; an empty name is kept empty.
    std::string value = "x";
    EXPECT_TRUE(reloaded.GetValue(kCommandFilesSection, "Program_FileOut", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(reloaded.GetValue(kCommandFilesSection, "Events_FileIn", value));
    EXPECT_FALSE(reloaded.GetValue(kCommandFilesSection, "Firmware_FileIn", value));
    EXPECT_EQ(reloaded.CountEntries(kCommandFilesSection), 3);

    CCatalogue catalogue = LoadCatalogue(reloaded);
    const auto offered = PrepareCommandOffer(catalogue, reloaded, CommandNode::TopLevelDevice);
    EXPECT_EQ(offered[2]->FileName(kCommandFileOut), "/home/op/журнал.bin");
    EXPECT_EQ(offered[3]->FileName(kCommandFileIn), "/home/op/prog.bin");

    CIniFile unnamed; // never bound to a file: cannot be saved
    unnamed.LoadFromBytes(kCommands);
    EXPECT_FALSE(RememberCommandFiles(offered, unnamed));
}

} // namespace
} // namespace tornu
