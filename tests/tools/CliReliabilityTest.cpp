// The front end refuses bad words before anything is written, never loops on
// a password it cannot get, and takes a new password on the run that sends it.
#include "CliTestUtil.h"

#include "settings/IniFile.h"
#include "settings/Md5Digest.h"
#include "sim/PtyRunner.h"
#include "sim/Simulator.h"
#include "sim/TerminalState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tornu::test {
namespace {

using Outcome = CliRun;

class CliReliabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        CopySampleCatalogue(dir_.Path());
        Run("add-terminal 12 --type БМ-4 --phone +79001234567 --password 1234");
        Run("add-device 12 --address 1 --type Раздел-8 --name Офис --password 1111");
    }

    Outcome Run(const std::string& args, const std::string& env = "TORNU_PASSWORD=x") {
        return RunCli(dir_.Path(), args, env);
    }
    std::string Database() { return ReadBytes(dir_ / "tornucfg.db"); }

    TempDir dir_;
};

TEST_F(CliReliabilityTest, BadWordsChangeNothing) {
    const std::string before = Database();
    const struct {
        const char* args;
        int status;
        const char* message;
    } cases[] = {
        {"edit 12 --pasword 9999", 2,
         "Неизвестный параметр --pasword команды edit; допустимые: "
         "--phone, --password"},
        {"edit 12 --new-password 5678", 2, "Новый пароль задается в команде run"},
        {"edit 12 --password", 2, "Неверные параметры команды edit"},
        {"set-phone 12/1 0 +7900 --mask 99999999999", 2, "Маска: от 0 до 16777215"},
        {"set-phone 12/1 99 +7900", 2, "Номер записи: от 0 до 23"},
        {"set-key 12/1 0 540000001E3C5A01 --owner 'a;b'", 1, "Текст не может содержать"},
        {"edit 12/1 --password '1111;DEVA=05'", 1, "Текст не может содержать"},
        {"edit 12 --phone \"$(printf '+7900\\r')\"", 1, "Текст не может содержать"},
        {"add-terminal 70000 --type БМ-4", 1, "Номер устройства: от 0 до 65535"},
        {"show \"$(printf '12\\377')\"", 2, "UTF-8"},
        {"show 12 extra", 2, "Неверные параметры команды show"},
        {"lst", 2, "Неизвестная команда lst"},
        {"--bogus list", 2, "Неизвестный параметр --bogus"},
        {"run 12 ChangeLinkPassword --yes --new-password 'a~b'", 2, "Текст не может содержать"},
    };
    int refused = 0;
    for (const auto& c : cases) {
        // Through the shell: printf gives the bytes that cannot be typed.
        const Outcome run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
        refused += run.status != 0;
    }
    EXPECT_TRUE(Database() == before) << "the database was written";
    std::printf("bad front-end inputs refused with nothing changed: %d\n", refused);

    // "--" ends the options: a value may begin with "-".
    EXPECT_EQ(Run("set-param 12/1 OBJNAME -- -5").status, 0);
    EXPECT_NE(Run("show 12/1").output.find("(OBJNAME): -5"), std::string::npos);
}

TEST_F(CliReliabilityTest, APasswordItCannotGetEndsTheRun) {
    CIniFile settings(dir_ / "tornucfg.ini");
    ASSERT_TRUE(settings.Load(dir_ / "tornucfg.ini"));
    settings.SetValue("Main", "Password", CMd5Digest("secret").Hex());
    ASSERT_TRUE(settings.Save());
    const Outcome empty = Run("list", "TORNU_PASSWORD=");
    EXPECT_EQ(empty.status, 2);
    EXPECT_NE(empty.output.find("TORNU_PASSWORD: пароль не может быть пустым"), std::string::npos);
    const Outcome closed = Run("list", "-u TORNU_PASSWORD");
    EXPECT_EQ(closed.status, 2) << closed.output;
}

TEST_F(CliReliabilityTest, TheRunTakesTheNewPasswordItSends) {
    CTerminalState sim;
    std::string error;
    ASSERT_TRUE(sim.Read("[Terminal]\nNumber=12\nLinkPassword=1234\n[Device 0]\nPassword=0000\n"
                         "[Device 1]\nPassword=1111\n",
                         dir_.Path().string(), error))
        << error;
    CSimulator simulator(sim, [](const std::string&) {});
    CPtyRunner runner(simulator);
    ASSERT_TRUE(runner.Open(dir_ / "ttySIM", error)) << error;
    std::atomic<bool> stop{false};
    std::thread thread([&] { runner.Run(stop); });
    CIniFile settings(dir_ / "tornucfg.ini");
    ASSERT_TRUE(settings.Load(dir_ / "tornucfg.ini"));
    settings.SetValue("Modem", "ComPort", dir_ / "ttySIM");
    settings.SetValue("Modem", "Emul", "1");
    ASSERT_TRUE(settings.Save());
    ASSERT_EQ(Run("edit 12/0 --password 0000").status, 0);

    const Outcome without = Run("run 12 ChangeLinkPassword --yes");
    EXPECT_EQ(without.status, 1) << without.output;
    // Refused before anything was sent; the simulator's state is read once its thread is gone.
    EXPECT_NE(without.output.find("не задан новый пароль"), std::string::npos) << without.output;

    const Outcome with = Run("run 12 ChangeLinkPassword --yes --new-password 5678");
    EXPECT_EQ(with.status, 0) << with.output;
    const Outcome partition =
        Run("run 12/1 ChangePartitionPassword --yes --new-partition-password 2222");
    EXPECT_EQ(partition.status, 0) << partition.output;
    stop = true;
    thread.join();
    EXPECT_EQ(sim.linkPassword, "5678");
    EXPECT_EQ(sim.FindDevice(1)->password, "2222");
    const Outcome shown = Run("show 12 --show-passwords");
    EXPECT_NE(shown.output.find("Пароль на связь: 5678"), std::string::npos) << shown.output;
}

} // namespace
} // namespace tornu::test
