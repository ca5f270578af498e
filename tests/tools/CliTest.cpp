// The command-line front end as a script uses it: the built program in a
// fresh folder with the sample catalogue, its output and exit status, and
// the database left alone on errors.
#include "CliTestUtil.h"

#include "settings/IniFile.h"
#include "settings/Md5Digest.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace tornu::test {
namespace {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { CopySampleCatalogue(dir_.Path()); }

    CliRun Run(const std::string& args, const std::string& env = "TORNU_PASSWORD= ") {
        return RunCli(dir_.Path(), args, env);
    }

    void Build() {
        ASSERT_EQ(Run("add-terminal 12 --type БМ-4 --phone +79001234567 --password 1234").status,
                  0);
        ASSERT_EQ(
            Run("add-device 12 --address 1 --type Раздел-8 --name Офис --password 1111").status, 0);
        ASSERT_EQ(Run("add-device 12/1 --address 5 --type 'Расширитель ШС-4'").status, 0);
        ASSERT_EQ(Run("distribute 12").status, 0);
    }

    std::string DatabaseBytes() { return ReadBytes(dir_ / "tornucfg.db"); }

    TempDir dir_;
};

TEST_F(CliTest, BuildsAConfigurationAndShowsIt) {
    Build();
    const CliRun list = Run("list");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.output, "[0012] БМ-4\n  [00] \n  [01] Офис\n    [05] \n");

    const CliRun shown = Run("show 12/1");
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.output.find("Сетевой адрес: 1\n"), std::string::npos);
    EXPECT_NE(shown.output.find("Пароль раздела: ******\n"), std::string::npos);
    // The master lists its slave's loops too, under the slave's address.
    EXPECT_NE(shown.output.find("   13    | 5      |"), std::string::npos) << shown.output;
    EXPECT_NE(Run("show 12 --show-passwords").output.find("Пароль на связь: 1234\n"),
              std::string::npos);

    // Refused by the document with its own message, exit 1.
    const CliRun again = Run("add-terminal 12 --type БМ-4");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.output.find("Возможно устройство с таким номером уже существует"),
              std::string::npos);
}

TEST_F(CliTest, ErrorsLeaveTheDatabaseAlone) {
    Build();
    const std::string before = DatabaseBytes();
    struct Case {
        const char* name;
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"unknown terminal", "show 99", "Нет базового модуля 99"},
        {"unknown device", "delete 12/7", "Нет устройства с адресом 7"},
        {"unknown command", "run 12/1 NoSuchCommand --yes", "Неизвестная команда NoSuchCommand"},
        {"unknown type", "add-device 12 --address 2 --type X", "Неизвестный тип X"},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, 2) << c.name;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.name << ": " << run.output;
    }
    EXPECT_EQ(DatabaseBytes(), before);
}

TEST_F(CliTest, ListFilesAndModemSettings) {
    Build();
    ASSERT_EQ(Run("set-key 12/1 2 540000001E3C5A01 --owner Иванов").status, 0);
    const std::string keys = dir_ / "keys.txt";
    EXPECT_EQ(Run("keys 12/1 save " + keys).status, 0);
    EXPECT_EQ(ReadBytes(keys).substr(0, 7), ",\r\n,\r\n5");
    EXPECT_EQ(Run("set-key 12/1 2 4500004433221101 --owner x").status, 0);
    EXPECT_EQ(Run("keys 12/1 load " + keys).status, 0);
    EXPECT_NE(Run("show 12/1").output.find("Название: Офис"), std::string::npos);
    const CliRun missing = Run("phonebook 12/1 load " + (dir_ / "none"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("Невозможно открыть файл: "), std::string::npos);

    EXPECT_EQ(Run("modem --port com3 --speed 19200 --emul 1").status, 0);
    const CliRun shown = Run("modem");
    EXPECT_NE(shown.output.find("Порт: COM3\nСкорость: 19200\n"), std::string::npos)
        << shown.output;
    EXPECT_EQ(Run("modem --speed 1").status, 2);
}

TEST_F(CliTest, ProgramPasswordFromTheEnvironment) {
    Build();
    CIniFile settings(dir_ / "tornucfg.ini");
    ASSERT_TRUE(settings.Load(dir_ / "tornucfg.ini"));
    settings.SetValue("Main", "Password", CMd5Digest("secret").Hex());
    ASSERT_TRUE(settings.Save());

    const CliRun wrong = Run("list", "TORNU_PASSWORD=guess");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.output.find("Некорректный пароль"), std::string::npos);
    EXPECT_EQ(Run("list", "TORNU_PASSWORD=secret").status, 0);
}

TEST(CliMissingCatalogue, IsReportedAndCreatesNothing) {
    TempDir dir;
    const std::string command =
        std::string(TORNU_CLI_PATH) + " --dir '" + dir.Path().string() + "' list >/dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

} // namespace
} // namespace tornu::test
