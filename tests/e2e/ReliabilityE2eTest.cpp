// Line faults survived and failures told apart, end to end: the engine over a
// pseudo-terminal against the simulator, the records on a real database.
#include "E2eFixture.h"

#include "comms/SerialPort.h"
#include "protocol/ErrorText.h"

#include <algorithm>
#include <cstdio>

namespace tornu::test {
namespace {

std::string ModemLog(const TempDir& dir) {
    return ReadBytes(dir / "ttySIM_modem.log");
}

TEST_F(E2eTest, PasswordChangesWithoutANewPasswordAreNeverSent) {
    const Lines lines = Run({"ChangeLinkPassword", "ReadLoopConfig"});
    EXPECT_EQ(Outcome("ChangeLinkPassword").text,
              "ОШИБКА: Невозможно создать команду: не задан новый пароль");
    EXPECT_EQ(Result("ReadLoopConfig"), kCommandDone);
    EXPECT_EQ(SimLogCount("<- [0012] 97"), 0);
    EXPECT_EQ(sim.linkPassword, "link");
    EXPECT_EQ(Value("SELECT password FROM terminal WHERE id=12"), "link");

    Run({"ChangePartitionPassword"}, &Device(1));
    EXPECT_EQ(Result("ChangePartitionPassword"), kCommandFailed);
    EXPECT_EQ(SimLogCount("<- [0012] 96"), 0);
    EXPECT_EQ(sim.FindDevice(1)->password, "part");
}

// The faults only the simulator provokes on a real line (split bytes, bad
// check digits, the call lost, the dial's refusals; the fake line of
// ExchangeTest pins the others): the exchange either recovers or ends with
// the cause, sends no command when it never got past the login, and the rows
// hold nothing half-applied.
TEST_F(E2eTest, LineFaultsAreSurvivedOrToldApart) {
    struct Case {
        const char* name;
        std::function<void()> fault;
        const char* lastLine; // nullptr: the exchange recovers; else how its last line ends
        bool commandSent = true;
    };
    const Case cases[] = {
        {"split bytes", [&] { sim.faults.splitBytes = true; }, nullptr},
        {"one reply lost", [&] { sim.faults.silent[16] = 1; }, nullptr},
        {"bad check digits",
         [&] { sim.faults.badCrc = true; },
         "ОШИБКА: Неудачная попытка передачи пароля", false},
        {"bad check digits, check off",
         [&] {
             sim.faults.badCrc = true;
             doc->Workspace().Settings().SetValue("Modem", "CheckCrc", "0");
         },
         nullptr},
        {"call lost at the command",
         [&] { sim.faults.hangUpAt = 1; },
         "ОШИБКА: Невозможно передать команду: связь потеряна (NO CARRIER)"},
        {"no answer", [&] { sim.modem.dial = "NO ANSWER"; },
         "ОШИБКА: Невозможно установить соединение: нет ответа (NO ANSWER)", false},
        {"no carrier", [&] { sim.modem.dial = "NO CARRIER"; },
         "ОШИБКА: Невозможно установить соединение: нет несущей (NO CARRIER)", false},
    };
    int survived = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CTerminalState clean = sim;
        doc->Workspace().Settings().SetValue("Modem", "CheckCrc", "1");
        c.fault();
        ASSERT_TRUE(Device(1).SetLastTime("before"));
        const int sent = SimLogCount("<- [0012] 16");
        const Lines lines = Run({"ReadStatus"}, &Device(1));
        EXPECT_EQ(SimLogCount("<- [0012] 16") > sent, c.commandSent);
        EXPECT_EQ(exchange->GetState(), c.commandSent ? CExchange::kFinished : CExchange::kFailed);
        const std::string after = Value("SELECT last_time FROM device WHERE term_id=12 AND id=1");
        if (!c.lastLine) {
            EXPECT_EQ(Result("ReadStatus"), kCommandDone) << lines.back();
            EXPECT_NE(after, "before");
        } else {
            EXPECT_TRUE(lines.back().ends_with(c.lastLine)) << lines.back();
            EXPECT_NE(Result("ReadStatus"), kCommandDone);
            EXPECT_EQ(after, "before");
        }
        ++survived;
        sim = clean;
    }
    EXPECT_NE(ModemLog(dir).find("BAD CHECK DIGITS"), std::string::npos);
    EXPECT_NE(ModemLog(dir).find("LINK LOST"), std::string::npos);
    std::printf("line faults tried and survived: %d\n", survived);
}

TEST_F(E2eTest, PortFailuresSayWhy) {
    doc->Workspace().Settings().SetValue("Modem", "ComPort", dir / "missing");
    Lines lines = Run({"ReadLoopConfig"});
    EXPECT_EQ(lines.back(), "ОШИБКА: Невозможно открыть порт модема: порт " +
                                (dir / "missing") + " не найден");
    WriteBytes(dir / "plain", "x");
    doc->Workspace().Settings().SetValue("Modem", "ComPort", dir / "plain");
    lines = Run({"ReadLoopConfig"});
    EXPECT_EQ(lines.back(), "ОШИБКА: Невозможно открыть порт модема: " + (dir / "plain") +
                                " не является последовательным портом");
}

TEST_F(E2eTest, OutputFilesOfAnySize) {
    std::string hex;
    for (int i = 0; i < 6000; ++i)
        hex += "4A";
    sim.outFiles[61] = hex;
    Command("ReadEventLog").SetFileName(kCommandFileOut, dir / "events.txt");
    Run({"ReadEventLog"});
    EXPECT_EQ(Result("ReadEventLog"), kCommandDone);
    EXPECT_EQ(ReadBytes(dir / "events.txt"), std::string(6000, 'J'));

    // A terminal without a file to send answers without one: done, and the
    // log says the file was not written.
    sim.outFiles.erase(61);
    const Lines lines = Run({"ReadEventLog"});
    EXPECT_EQ(Result("ReadEventLog"), kCommandDone);
    EXPECT_NE(std::find(lines.begin(), lines.end(), kReportNoFileInReply), lines.end());
    EXPECT_EQ(ReadBytes(dir / "events.txt"), std::string(6000, 'J'));
}

TEST_F(E2eTest, CancelWhileDiallingAbandonsTheDial) {
    CScopedTimeScale slower(0.1); // the dial's time-out outlasts the cancel
    sim.modem.dialDelayMs = 10000000; // far beyond the dial time-out
    ASSERT_TRUE(Begin({"ReadLoopConfig"}));
    ASSERT_TRUE(Eventually([&] { return SimLogCount("atd") > 0; }, 60000));
    EXPECT_TRUE(exchange->Cancel());
    EXPECT_EQ(exchange->GetState(), CExchange::kFailed);
    EXPECT_TRUE(Eventually([&] { return SimLogCount("-- the dial is abandoned") > 0; }, 60000));
    StopSimulator();
    EXPECT_EQ(Result("ReadLoopConfig"), kCommandNotCompleted);
}

} // namespace
} // namespace tornu::test
