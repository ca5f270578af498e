// The command-line front end as a script uses it: the built program in a
// fresh folder with the sample catalogue, its output and exit status. Bad
// words are refused before anything is written, a password it cannot get
// ends the run, and a new password is taken on the run that sends it.
#include "CliTestUtil.h"

#include "comms/TimeScale.h"
#include "db/ConfigDatabase.h"
#include "settings/IniFile.h"
#include "settings/Md5Digest.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tornu::test {
namespace {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        CopySampleCatalogue(dir_.Path());
        ASSERT_EQ(Run("add-terminal 12 --type БМ-4 --phone +79001234567 --password 1234").status,
                  0);
        ASSERT_EQ(
            Run("add-device 12 --address 1 --type Раздел-8 --name Офис --password 1111").status, 0);
        ASSERT_EQ(Run("add-device 12/1 --address 5 --type 'Расширитель ШС-4'").status, 0);
        ASSERT_EQ(Run("distribute 12").status, 0);
    }

    CliRun Run(const std::string& args, const std::string& env = "TORNU_PASSWORD=x") {
        return RunCli(dir_.Path(), args, env);
    }
    void SetSetting(const char* section, const char* key, const std::string& value) {
        CIniFile settings(dir_ / "tornucfg.ini");
        ASSERT_TRUE(settings.Load(dir_ / "tornucfg.ini"));
        settings.SetValue(section, key, value);
        ASSERT_TRUE(settings.Save());
    }
    std::string DatabaseBytes() { return ReadBytes(dir_ / "tornucfg.db"); }
    // The terminal `text` describes, simulated behind the settings' modem.
    void StartSimulator(const std::string& text) {
        std::string error;
        ASSERT_TRUE(sim_.Read(text, dir_.Path().string(), error)) << error;
        simulator_ = std::make_unique<SimOnPty>(sim_);
        ASSERT_TRUE(simulator_->Start(dir_ / "ttySIM", error)) << error;
        SetSetting("Modem", "ComPort", dir_ / "ttySIM");
        SetSetting("Modem", "Emul", "1");
    }

    TempDir dir_;
    CTerminalState sim_;
    std::unique_ptr<SimOnPty> simulator_; // its state is read once its thread is gone
};

TEST_F(CliTest, BuildsAConfigurationAndShowsIt) {
    const CliRun list = Run("list");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.output, "[0012] БМ-4\n  [00] \n  [01] Офис\n    [05] \n");

    const CliRun shown = Run("show 12/1");
    EXPECT_NE(shown.output.find("Пароль раздела: ******\n"), std::string::npos);
    // The master lists its slave's loops too, under the slave's address.
    EXPECT_NE(shown.output.find("   13    | 5      |"), std::string::npos) << shown.output;
    EXPECT_NE(Run("show 12 --show-passwords").output.find("Пароль на связь: 1234\n"),
              std::string::npos);
    // "--" ends the options: a value may begin with "-".
    EXPECT_EQ(Run("set-param 12/1 OBJNAME -- -5").status, 0);
    EXPECT_NE(Run("show 12/1").output.find("(OBJNAME): -5"), std::string::npos);
}

TEST_F(CliTest, BadWordsChangeNothing) {
    const std::string before = DatabaseBytes();
    const struct {
        const char* args;
        int status;
        const char* message;
    } cases[] = {
        {"add-terminal 12 --type БМ-4", 1, "Возможно устройство с таким номером уже существует"},
        {"show 99", 2, "Нет базового модуля 99"},
        {"delete 12/7", 2, "Нет устройства с адресом 7"},
        {"run 12/1 NoSuchCommand --yes", 2, "Неизвестная команда NoSuchCommand"},
        {"add-device 12 --address 2 --type X", 2, "Неизвестный тип X"},
        {"edit 12 --pasword 9999", 2,
         "Неизвестный параметр --pasword команды edit; допустимые: "
         "--phone, --password"},
        {"edit 12 --new-password 5678", 2, "Новый пароль задается в команде run"},
        {"edit 12 --password", 2, "Неверные параметры команды edit: у --password нет значения"},
        {"add-device 12 --address= --type Раздел-8", 2, "у --address пустое значение"},
        {"add-device 12 --address 2 --address=3", 2, "--address задан больше одного раза"},
        {"list --yes=1", 2, "Неизвестный параметр --yes команды list; допустимые: --help"},
        {"run 12 LinkTest --yes=1", 2, "--yes задается без значения"},
        // Each range one past its end.
        {"set-phone 12/1 0 +7900 --mask 16777216", 2, "Маска: от 0 до 16777215"},
        {"set-phone 12/1 24 +7900", 2, "Номер записи: от 0 до 23"},
        {"set-key 12/1 15 540000001E3C5A01", 2, "Номер ключа: от 0 до 14"},
        {"set-key 12/1 -1 540000001E3C5A01", 2, "Номер ключа: от 0 до 14"},
        {"set-key 12/1 0 540000001E3C5A01 --owner 'a;b'", 1, "Текст не может содержать"},
        {"edit 12/1 --password '1111;DEVA=05'", 1, "Текст не может содержать"},
        {"edit 12 --phone \"$(printf '+7900\\r')\"", 1, "Текст не может содержать"},
        {"add-terminal 65536 --type БМ-4", 1, "Номер устройства: от 0 до 65535"},
        {"show \"$(printf '12\\377')\"", 2, "UTF-8"},
        {"show 12 extra", 2, "Неверные параметры команды show: лишний аргумент extra"},
        {"lst", 2, "Неизвестная команда lst"},
        {"--bogus list", 2, "Неизвестный параметр --bogus"},
        {"run 12 ChangeLinkPassword --yes --new-password 'a~b'", 2, "Текст не может содержать"},
        {"modem --speed 1", 2, ""},
    };
    for (const auto& c : cases) {
        // Through the shell: printf gives the bytes that cannot be typed.
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
        // The operator's language only: no words of a library.
        EXPECT_EQ(run.output.find("required"), std::string::npos) << c.args << "\n" << run.output;
    }
    EXPECT_EQ(Run("--version").output, "tornucfg-cli " TORNU_PACKAGE_VERSION "\n");
    EXPECT_TRUE(DatabaseBytes() == before) << "the database was written";
}

TEST_F(CliTest, ListFilesAndModemSettings) {
    ASSERT_EQ(Run("set-key 12/1 2 540000001E3C5A01 --owner Иванов").status, 0);
    EXPECT_EQ(Run("set-key 12/1 14 0000000000000000").status, 0) << "the last key";
    const std::string keys = dir_ / "keys.txt";
    EXPECT_EQ(Run("keys 12/1 save " + keys).status, 0);
    EXPECT_EQ(Run("set-key 12/1 2 4500004433221101 --owner x").status, 0);
    EXPECT_EQ(Run("keys 12/1 load " + keys).status, 0);
    // The history says what each did: the operator's edits, then the load.
    const CliRun history = Run("history 12/1 --text Иванов --csv");
    EXPECT_EQ(history.status, 0);
    EXPECT_EQ(history.output.rfind("Время,Кто,Устройство,Что,Было,Стало,Источник,Подробности\r\n", 0),
              0u);
    EXPECT_NE(history.output.find(",12/1,Ключ 2: Владелец,x,Иванов,загрузка из файла," + keys),
              std::string::npos)
        << history.output;
    EXPECT_NE(history.output.find(",12/1,Ключ 2: Владелец,Иванов,x,изменение оператором,"),
              std::string::npos);
    EXPECT_EQ(Run("history 12/x").status, 2);
    const CliRun missing = Run("phonebook 12/1 load " + (dir_ / "none"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("Невозможно открыть файл: "), std::string::npos);

    EXPECT_EQ(Run("modem --port com3 --speed 19200 --emul 1").status, 0);
    const CliRun shown = Run("modem");
    EXPECT_NE(shown.output.find("Порт: COM3\nСкорость: 19200\n"), std::string::npos)
        << shown.output;
}

TEST_F(CliTest, ProgramPasswordFromTheEnvironmentOrNoRun) {
    SetSetting("Main", "Password", CMd5Digest("secret").Hex());
    for (const auto& [env, status, message] :
         {std::tuple{"TORNU_PASSWORD=guess", 2, "Некорректный пароль"},
          {"TORNU_PASSWORD=", 2, "TORNU_PASSWORD: пароль не может быть пустым"},
          {"-u TORNU_PASSWORD", 2, ""},
          {"TORNU_PASSWORD=secret", 0, ""}}) {
        const CliRun run = Run("list", env);
        EXPECT_EQ(run.status, status) << env << "\n" << run.output;
        EXPECT_NE(run.output.find(message), std::string::npos) << env << "\n" << run.output;
    }
}

TEST_F(CliTest, TheRunTakesTheNewPasswordItSends) {
    ASSERT_NO_FATAL_FAILURE(StartSimulator(
        "[Terminal]\nNumber=12\nLinkPassword=1234\n[Device 0]\nPassword=0000\n"
        "[Device 1]\nPassword=1111\n"));
    ASSERT_EQ(Run("edit 12/0 --password 0000").status, 0);

    // Refused before anything was sent.
    const CliRun without = Run("run 12 ChangeLinkPassword --yes");
    EXPECT_EQ(without.status, 1) << without.output;
    EXPECT_NE(without.output.find("не задан новый пароль"), std::string::npos) << without.output;
    const CliRun with = Run("run 12 ChangeLinkPassword --yes --new-password 5678");
    EXPECT_EQ(with.status, 0) << with.output;
    const CliRun partition =
        Run("run 12/1 ChangePartitionPassword --yes --new-partition-password 2222");
    EXPECT_EQ(partition.status, 0) << partition.output;
    simulator_.reset();
    EXPECT_EQ(sim_.linkPassword, "5678");
    EXPECT_EQ(sim_.FindDevice(1)->password, "2222");
    EXPECT_NE(Run("show 12 --show-passwords").output.find("Пароль на связь: 5678"),
              std::string::npos);
}

// "diff": the terminal's values against the stored ones, nothing written;
// exit 1 while they differ, 0 once the reads have stored them, 2 when the
// terminal cannot be reached.
TEST_F(CliTest, DiffTellsEachValueTheTerminalHoldsOtherwise) {
    CScopedTimeScale fast{0.1};
    ASSERT_NO_FATAL_FAILURE(StartSimulator(
        ReadBytes(std::string(TORNU_SOURCE_DIR) + "/tools/sim/example.sim")));
    // The rest of the simulated terminal: the built-in partition's password, a relay module.
    ASSERT_EQ(Run("edit 12/0 --password 0000").status, 0);
    ASSERT_EQ(Run("add-device 12/1 --address 6 --type 'Релейный модуль РМ-4'").status, 0);
    ASSERT_EQ(Run("distribute 12").status, 0);
    const auto scaled = [&](const std::string& args) {
        return RunCli(dir_.Path(), args, "TORNU_PASSWORD=x TORNU_TIME_SCALE=0.1");
    };

    const std::string history = Run("history 12").output;
    const CliRun differ = scaled("diff 12/1");
    EXPECT_EQ(differ.status, 1) << differ.output;
    for (const char* line : {"Устройство\tЧто\tВ базе\tВ приборе\n",
                             "12/1\tПараметр DLYIN\t30\t20\n",
                             "12/1\tПараметр SIRMODE\tНепрерывный\tПрерывистый\n",
                             "12/1\tТелефон 1: Маска\t0\t255\n",
                             "12/1\tКлюч 1: Электронный номер\t\t4500004433221101\n",
                             "12/5\tТипы шлейфов\t0, 0, 0, 0\t0, 0, 0, 16\n"})
        EXPECT_NE(differ.output.find(line), std::string::npos) << line << differ.output;
    EXPECT_EQ(Run("history 12").output, history) << "a comparison stores nothing";

    ASSERT_EQ(scaled("run 12/1 ReadStatus ReadKeys ReadPhoneBook --yes").status, 0);
    ASSERT_EQ(scaled("run 12 ReadLoopConfig --yes").status, 0);
    const CliRun agree = scaled("diff 12/1");
    EXPECT_EQ(agree.status, 0) << agree.output;
    EXPECT_NE(agree.output.find("Значения в базе и в приборе совпадают"), std::string::npos);

    EXPECT_EQ(Run("diff 12/9").status, 2);
    simulator_.reset();
    const CliRun unreachable = scaled("diff 12");
    EXPECT_EQ(unreachable.status, 2) << unreachable.output;
    EXPECT_NE(unreachable.output.find("значения прибора не прочитаны"), std::string::npos)
        << unreachable.output;
}

// A read replaces a value changed here and not yet written, saying so, and
// the history keeps what was replaced; --keep-pending keeps it instead.
TEST_F(CliTest, AReadReplacesAPendingValueUnlessKeepPending) {
    CScopedTimeScale fast{0.1};
    ASSERT_NO_FATAL_FAILURE(StartSimulator(
        "[Terminal]\nNumber=12\nLinkPassword=1234\n[Device 0]\nPassword=0000\n"
        "[Device 1]\nPassword=1111\nParam.OBJNAME=Офис\n"));
    ASSERT_EQ(Run("edit 12/0 --password 0000").status, 0);
    ASSERT_EQ(Run("set-param 12/1 OBJNAME Склад").status, 0);

    const auto scaled = [&](const std::string& args) {
        return RunCli(dir_.Path(), args, "TORNU_PASSWORD=x TORNU_TIME_SCALE=0.1");
    };
    const CliRun kept = scaled("run 12/1 ReadStatus --yes --keep-pending");
    EXPECT_EQ(kept.status, 0) << kept.output;
    EXPECT_NE(kept.output.find("Параметр OBJNAME: в программе Склад, прочитано Офис\r\n"
                               "Значение изменено в программе и не записано в прибор. "
                               "Заменить прочитанным? нет"),
              std::string::npos)
        << kept.output;
    EXPECT_NE(Run("show 12/1").output.find("(OBJNAME): Склад"), std::string::npos);

    const CliRun replaced = scaled("run 12/1 ReadStatus --yes");
    EXPECT_EQ(replaced.status, 0) << replaced.output;
    EXPECT_NE(replaced.output.find("Заменить прочитанным? да"), std::string::npos);
    EXPECT_NE(Run("show 12/1").output.find("(OBJNAME): Офис"), std::string::npos);
    const CliRun history = Run("history 12/1 --text Склад --csv");
    EXPECT_NE(history.output.find("Склад,Офис,ответ прибора"), std::string::npos)
        << history.output;
    // Replaced, the value is no longer pending: nothing more to ask.
    EXPECT_EQ(scaled("run 12/1 ReadStatus --yes").output.find("Заменить"), std::string::npos);
}

// Another program holds the database in a transaction: the operation waits
// once, fails whole, says why and exits 1.
TEST_F(CliTest, OperationOnAHeldDatabaseSaysWhyAndExits1) {
    CConfigDatabase held(CIniFile(), dir_.Path().string());
    ASSERT_TRUE(held.IsAvailable()) << held.Failure();
    ASSERT_TRUE(held.BeginTransaction());
    ASSERT_TRUE(held.Execute("UPDATE terminal SET phone='held' WHERE id=12"));
    const CliRun deleted = Run("delete 12/5");
    EXPECT_TRUE(held.EndTransaction(false));
    EXPECT_EQ(deleted.status, 1);
    EXPECT_NE(deleted.output.find("Ошибка удаления сетевого устройства\r\n"
                                  "ошибка записи в базу данных: "),
              std::string::npos)
        << deleted.output;
    EXPECT_NE(deleted.output.find("locked"), std::string::npos) << deleted.output;
    EXPECT_NE(Run("list").output.find("[05]"), std::string::npos);
}

TEST(CliMissingCatalogue, IsReportedAndCreatesNothing) {
    TempDir dir;
    EXPECT_EQ(RunCli(dir.Path(), "list", "TORNU_PASSWORD=x").status, 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

} // namespace
} // namespace tornu::test
