#include "catalogue/CommandDesc.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CommandOffer.h"
#include "settings/IniFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tornu {
namespace {

TEST(CommandDescTest, ReadingRules) {
    const std::pair<std::string, const char*> cases[] = {
        {"NUM=1;TYPE=T;DESC=x", nullptr},
        {"NUM=;TYPE=DS;DESC=x;PLIST=", nullptr}, // NUM without digits is 0
        {"NUM=1;TYPE=T", "нет ключа DESC"},
        {"NUM=1;TYPE=T;DESC=", "пустое DESC"},
        {"TYPE=T;DESC=", "пустое DESC"}, // DESC is checked before NUM
        {"TYPE=T;DESC=x", "нет ключа NUM"},
        {"NUM=1;DESC=x", "нет ключа TYPE"},
    };
    for (const auto& [text, expected] : cases) {
        CCommandDesc command;
        std::string reason;
        EXPECT_EQ(command.Read("C", text, &reason), expected == nullptr) << text;
        EXPECT_EQ(reason, expected ? expected : "") << text;
    }
    // The kind is the whole text exactly.
    const std::pair<const char*, CommandKind> kinds[] = {
        {"T", CommandKind::Terminal},
        {"DS", CommandKind::Subordinate},
        {"d", CommandKind::None},
        {"DM ", CommandKind::None},
    };
    for (const auto& [type, kind] : kinds) {
        CCommandDesc command;
        std::string reason;
        const bool ok = command.Read("C", std::string("NUM=1;DESC=x;TYPE=") + type, &reason);
        EXPECT_EQ(ok, kind != CommandKind::None) << '"' << type << '"';
        EXPECT_EQ(ok ? command.Kind() : kind, kind) << type;
        EXPECT_EQ(reason, ok ? "" : "неверный TYPE") << type;
    }
}

TEST(CommandDescTest, FileFlagsNamesAndResults) {
    const std::pair<const char*, int> cases[] = {
        {"io", kCommandFileIn | kCommandFileOut},
        {"Вход", 0},
    };
    for (const auto& [value, flags] : cases) {
        CCommandDesc command;
        ASSERT_TRUE(command.Read("C", std::string("NUM=60;TYPE=T;DESC=x;FILE=") + value));
        EXPECT_EQ(command.FileFlags(), flags) << value;
        EXPECT_EQ(command.HasFile(kCommandFileOut), (flags & kCommandFileOut) != 0) << value;
    }
    CCommandDesc command;
    ASSERT_TRUE(command.Read("Program", "NUM=60;TYPE=T;DESC=x;FILE=IO"));
    command.SetFileName(kCommandFileIn, "/data/prog.bin");
    // Both bits: the input name comes first; none names nothing.
    EXPECT_EQ(command.FileName(kCommandFileIn | kCommandFileOut), "/data/prog.bin");
    command.SetFileName(0, "/data/ignored.bin");
    EXPECT_EQ(command.FileName(0), "");

    // A negative state keeps the state but sets the text.
    command.SetResult(kCommandFailed, "ОШИБКА: Нет ответа");
    command.SetResult(-1, "другой текст");
    EXPECT_EQ(command.ResultState(), kCommandFailed);
    EXPECT_EQ(command.ResultText(), "другой текст");
    command.SetResult(kCommandNotCompleted);
    EXPECT_EQ(command.ResultText(), "");
}

// The input file is read when the command's description for an exchange is
// made, whole up to 64000 bytes.
TEST(CommandDescTest, SpecReadsTheInputFileThen) {
    test::TempDir dir;
    test::WriteBytes(dir / "limit.bin", std::string(kCommandFileLimit, 'Z'));
    test::WriteBytes(dir / "over.bin", std::string(kCommandFileLimit + 1, 'Z'));
    const std::pair<std::string, std::optional<std::size_t>> cases[] = {
        {dir / "limit.bin", kCommandFileLimit},
        {dir / "over.bin", std::nullopt},
        {dir / "missing.bin", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [file, bytes] : cases) {
        CCommandDesc command;
        ASSERT_TRUE(command.Read("Load", "NUM=60;TYPE=T;DESC=x;FILE=IO"));
        command.SetFileName(kCommandFileIn, file);
        command.SetFileName(kCommandFileOut, "out.bin");
        const CommandSpec spec = command.Spec();
        EXPECT_EQ(spec.input ? std::optional(spec.input->size()) : std::nullopt, bytes) << file;
        EXPECT_EQ(spec.outputFile, "out.bin");
    }
}

// ---- The commands offered for a device, and their remembered files

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
