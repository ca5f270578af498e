// Whole exchanges: the engine, the serial port and the packet link against
// the simulated terminal, with the records writing their rows through.
#include "E2eFixture.h"

namespace tornu::test {
namespace {

const std::string kClosing = "<- [0012] 02 ";
const std::string kSensorStates = "SELECT state FROM sensor WHERE term_id=12 ORDER BY id";

TEST_F(E2eTest, TerminalSession) {
    Terminal().SetNewPassword("newlink");
    Run({"ReadLoopConfig", "SetClock", "WriteLoopConfig", "ChangeLinkPassword"});
    EXPECT_EQ(exchange->GetState(), CExchange::kFinished);
    for (const char* key : {"ReadLoopConfig", "SetClock", "WriteLoopConfig", "ChangeLinkPassword"})
        EXPECT_EQ(Result(key), kCommandDone) << key;
    // 39 read the types into the loops; 40 wrote them back as the rows hold them.
    const std::string config = "M0=4(1,0,8,2,),M1=4(0,8,1,0,),S5=2(0,16,),";
    EXPECT_EQ(Value("SELECT term_config FROM terminal WHERE id=12"), config);
    EXPECT_EQ(Column("SELECT type FROM sensor WHERE term_id=12 ORDER BY id"),
              (Lines{"1", "0", "8", "2", "0", "8", "1", "0", "0", "16"}));
    EXPECT_EQ(sim.config, config);
    EXPECT_FALSE(sim.clock.empty());
    EXPECT_EQ(Value("SELECT password FROM terminal WHERE id=12"), "newlink");
    EXPECT_EQ(sim.linkPassword, "newlink");
}

TEST_F(E2eTest, TopLevelDeviceSession) {
    const Lines keys = {"ReadStatus", "ReadPhoneBook", "WritePhoneBook",         "ReadKeys",
                        "WriteKeys",  "WriteParams",   "ChangePartitionPassword"};
    Device(1).SetNewPassword("newpart");
    Run(keys, &Device(1));
    EXPECT_EQ(exchange->GetState(), CExchange::kFinished);
    for (const auto& key : keys)
        EXPECT_EQ(Result(key), kCommandDone) << key;
    EXPECT_EQ(Rows("SELECT password, systemstate, last_key FROM device WHERE term_id=12 AND id=1"),
              (std::vector<Lines>{{"newpart", "15", "2"}}));
    // The partition's status carries its subordinate device's loops too.
    EXPECT_EQ(Column(kSensorStates), (Lines{"0", "0", "0", "0", "9", "9", "3", "3", "2", "3"}));
    EXPECT_EQ(Param(1, "DLYIN"), "20");
    EXPECT_EQ(Param(1, "OBJNAME"), "Офис");
    EXPECT_EQ(Rows("SELECT phone, mask FROM device_phone WHERE term_id=12 AND device_id=1 AND "
                   "phone<>'' ORDER BY id"),
              (std::vector<Lines>{{"+79001234567", "255"}, {"+79007654321", "3"}}));
    EXPECT_EQ(Column("SELECT key_value FROM device_key WHERE term_id=12 AND device_id=1 AND "
                     "key_value<>'' ORDER BY id"),
              (Lines{"540000001E3C5A01", "4500004433221101"}));
    // What the terminal holds now came from the rows.
    EXPECT_EQ(sim.FindDevice(1)->password, "newpart");
    EXPECT_EQ(sim.FindDevice(1)->phones.size(), 24u);
    EXPECT_EQ(*sim.FindDevice(1)->FindParam("SIRTIME"), "180");
}

TEST_F(E2eTest, SubordinateDeviceSession) {
    const Lines keys = {"ReadStatus", "ReadPhoneBook", "WritePhoneBook", "WriteParams"};
    Run(keys, &Device(5));
    EXPECT_EQ(exchange->GetState(), CExchange::kFinished);
    for (const auto& key : keys)
        EXPECT_EQ(Result(key), kCommandDone) << key;
    EXPECT_EQ(SimLogCount("<- [0012] 16 \"RZD=01;PASS=part;DEVA=05;\""), 1);
    EXPECT_EQ(Column(kSensorStates), (Lines{"0", "0", "0", "0", "0", "0", "0", "0", "2", "3"}));
    EXPECT_EQ(Param(5, "TEMP"), "735");
    EXPECT_EQ(Param(5, "FWVER"), "1.02");
    EXPECT_EQ(Value("SELECT last_time FROM device WHERE term_id=12 AND id=1"), "");
    EXPECT_EQ(*sim.FindDevice(5)->FindParam("TEMPMAX"), "1050");
}

TEST_F(E2eTest, GenericCommandsWithInputAndOutputFiles) {
    WriteBytes(dir / "firmware.bin", std::string("\x01\xFE"
                                                 "AB",
                                                 4));
    Command("LoadFirmware").SetFileName(kCommandFileIn, dir / "firmware.bin");
    Command("ReadEventLog").SetFileName(kCommandFileOut, dir / "events.txt");
    Run({"LoadFirmware", "ReadEventLog"});
    EXPECT_EQ(exchange->GetState(), CExchange::kFinished);
    EXPECT_EQ(Result("LoadFirmware"), kCommandDone);
    EXPECT_EQ(Result("ReadEventLog"), kCommandDone);
    EXPECT_EQ(sim.inFiles[60], "01FE4142");
    EXPECT_EQ(ReadBytes(dir / "events.txt"), "Journal\r\n");
}

TEST_F(E2eTest, ErrorReplyToOneCommandAmongThree) {
    sim.faults.errors[23] = 6;
    Run({"ReadStatus", "ReadPhoneBook", "ReadKeys"}, &Device(1));
    EXPECT_EQ(exchange->GetState(), CExchange::kFinished);
    EXPECT_EQ(Result("ReadStatus"), kCommandDone);
    EXPECT_EQ(Result("ReadPhoneBook"), kCommandFailed);
    EXPECT_EQ(Outcome("ReadPhoneBook").text, "ОШИБКА: Ошибка пароля доступа к разделу");
    EXPECT_EQ(Result("ReadKeys"), kCommandDone);
    EXPECT_EQ(Value("SELECT COUNT(*) FROM device_phone WHERE term_id=12 AND phone<>''"), "0");
    EXPECT_EQ(Value("SELECT key_value FROM device_key WHERE term_id=12 AND device_id=1 AND id=0"),
              "540000001E3C5A01");
    EXPECT_EQ(SimLogCount(kClosing + "\"38\""), 1);
}

TEST_F(E2eTest, SilentTerminalStopsTheCommands) {
    sim.faults.silent[39] = CExchange::kAttempts;
    const Lines lines = Run({"ReadLoopConfig", "SetClock"});
    EXPECT_EQ(lines.back(), "ОШИБКА: Невозможно передать команду");
    EXPECT_EQ(exchange->GetState(), CExchange::kFinished);
    EXPECT_EQ(Result("ReadLoopConfig"), kCommandFailed);
    EXPECT_EQ(Result("SetClock"), kCommandNotCompleted);
    EXPECT_EQ(SimLogCount("<- [0012] 39"), CExchange::kAttempts);
    EXPECT_EQ(SimLogCount("<- [0012] 22"), 0);
    EXPECT_EQ(Value("SELECT term_config FROM terminal WHERE id=12"), "");
}

TEST_F(E2eTest, CancelDuringTheCommandPhase) {
    CScopedTimeScale slower(0.1); // the command's attempts outlast the cancel
    sim.faults.silent[23] = 100;
    ASSERT_TRUE(Begin({"ReadStatus", "ReadPhoneBook", "ReadKeys"}, &Device(1)));
    // The status reply is applied meanwhile, as the document's poll would.
    ASSERT_TRUE(Eventually(
        [&] {
            Pump();
            return SimLogCount("<- [0012] 23") > 0;
        },
        60000));
    EXPECT_TRUE(exchange->Cancel());
    EXPECT_EQ(exchange->GetState(), CExchange::kFailed);
    EXPECT_EQ(Status().back(), "Выполнение команды: Чтение телефонной книги");
    EXPECT_TRUE(Eventually([&] { return SimLogCount("-- call ended") > 0; }, 60000));
    StopSimulator();
    EXPECT_EQ(SimLogCount("<- \"ath0\""), 1);
    EXPECT_EQ(SimLogCount("<- [0012] 38"), 0);
    EXPECT_EQ(Result("ReadStatus"), kCommandDone);
    EXPECT_EQ(Result("ReadPhoneBook"), kCommandNotCompleted);
    EXPECT_EQ(Value("SELECT COUNT(*) FROM device_phone WHERE term_id=12 AND phone<>''"), "0");
}

TEST_F(E2eTest, EmulationMode) {
    doc->Workspace().Settings().SetValue("Modem", "Emul", "1");
    const Lines lines = Run({"ReadLoopConfig"});
    EXPECT_EQ(lines.at(2), "Соединение в режиме эмуляции ...");
    EXPECT_EQ(exchange->GetState(), CExchange::kFinished);
    EXPECT_EQ(Result("ReadLoopConfig"), kCommandDone);
    EXPECT_EQ(SimLogCount("<- \"+EMUL\""), 1);
    EXPECT_EQ(SimLogCount("<- \"atd"), 0);
    EXPECT_EQ(Value("SELECT term_config FROM terminal WHERE id=12"),
              "M0=4(1,0,8,2,),M1=4(0,8,1,0,),S5=2(0,16,),");
}

} // namespace
} // namespace tornu::test
