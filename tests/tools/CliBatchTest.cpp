// "tornucfg-cli batch" as a script uses it: a job made, run over a simulated
// fleet, killed in the middle and resumed, its status and report; wrong
// words refused with status 2.
#include "CliTestUtil.h"

#include "SimTestUtil.h"
#include "comms/TimeScale.h"
#include "db/ConfigDatabase.h"
#include "settings/IniFile.h"
#include "sim/SimFleet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace tornu::test {
namespace {

constexpr const char* kScale = "0.1";

class CliBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        CopySampleCatalogue(dir_.Path());
        for (int id : {21, 22, 23, 24}) {
            const std::string n = std::to_string(id);
            ASSERT_EQ(Run("add-terminal " + n + " --type БМ-4 --phone +70000" + n +
                          " --password link")
                          .status,
                      0);
            ASSERT_EQ(Run("edit " + n + "/0 --password 0000").status, 0);
        }
        CIniFile settings(dir_ / "tornucfg.ini");
        ASSERT_TRUE(settings.Load(dir_ / "tornucfg.ini"));
        settings.SetValue("Modem", "ComPort", dir_ / "ttyFLEET");
        ASSERT_TRUE(settings.Save());
    }
    CliRun Run(const std::string& args) {
        return RunCli(dir_.Path(), args, std::string("TORNU_PASSWORD=x TORNU_TIME_SCALE=") + kScale);
    }
    void StartFleet(const std::string& lines) {
        std::string error;
        CTerminalState base;
        ASSERT_TRUE(base.Read("[Modem]\nDialDelay=200\nReceiptDelay=100\n[Device 0]\nPassword=0000\n"
                              "[Files]\nOut.61=4A4F55524E414C\n",
                              ".", error)) << error;
        ASSERT_TRUE(fleet_.Read(lines, base, error)) << error;
        // One simulated modem a port, the same fleet behind each.
        for (const char* port : {"ttyFLEET", "ttyFLEET2"}) {
            sims_.push_back(std::make_unique<SimOnPty>(fleet_, [this](const std::string& line) {
                std::lock_guard lock(logLock_);
                if (line.rfind("-- dialled terminal ", 0) == 0)
                    ++dials_[std::stoi(line.substr(20))];
            }));
            ASSERT_TRUE(sims_.back()->Start(dir_ / port, error)) << error;
        }
    }
    // "batch run JOB" killed with SIGKILL as soon as its progress so far
    // satisfies `enough`; that progress.
    std::string RunUntil(const std::string& job, const std::function<bool(const std::string&)>& enough) {
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        const pid_t child = fork();
        if (child == 0) {
            dup2(out[1], STDERR_FILENO);
            setenv("TORNU_PASSWORD", "x", 1);
            setenv("TORNU_TIME_SCALE", kScale, 1);
            execl(TORNU_CLI_PATH, TORNU_CLI_PATH, "--dir", dir_.Path().c_str(), "batch", "run",
                  job.c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        std::string progress;
        char buffer[512];
        while (!enough(progress)) {
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            progress.append(buffer, static_cast<std::size_t>(n));
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        close(out[0]);
        return progress;
    }
    std::string NewJob(const std::string& args) {
        const CliRun made = Run("batch new J " + args + " --delay 0");
        EXPECT_EQ(made.status, 0) << made.output;
        return made.output.substr(0, made.output.find('\n'));
    }
    int Dials(int terminal) {
        std::lock_guard lock(logLock_);
        return dials_[terminal];
    }
    // "terminal:state" of each terminal, as "batch status" lists them.
    std::vector<std::string> States(const std::string& job) {
        std::vector<std::string> states;
        std::istringstream lines(Run("batch status " + job).output);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t tab = line.find('\t');
            if (tab != std::string::npos && std::isdigit(static_cast<unsigned char>(line[0])))
                states.push_back(line.substr(0, tab) + ":" +
                                 line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
        }
        return states;
    }

    CScopedTimeScale fast_{0.1};
    TempDir dir_;
    CSimFleet fleet_;
    std::mutex logLock_;
    std::map<int, int> dials_;
    std::vector<std::unique_ptr<SimOnPty>> sims_;
};

TEST_F(CliBatchTest, WrongWordsAreRefusedWithStatus2) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"batch new J --commands SetClock", "одним из --terminals, --all, --from"},
        {"batch new J --all --terminals 21 --commands SetClock", "одним из"},
        {"batch new J --terminals 21-x --commands SetClock", "Неверный номер или диапазон"},
        {"batch new J --terminals 90-95 --commands SetClock", "нет ни одного базового модуля"},
        {"batch new J --all", "Не заданы команды"},
        {"batch new J --all --commands Fly", "Неизвестная команда Fly"},
        {"batch new J --all --commands SetClock --attempts 0", "--attempts"},
        {"batch new J --all --commands LoadFirmware", "Не задан входной файл команды LoadFirmware"},
        {"batch new J --all --commands SetClock --file-out SetClock=x", "не работает с таким файлом"},
        {"batch new J --all --commands ReadStatus --device-types Пульт", "Неизвестный тип устройства Пульт"},
        {"batch run", "Не задан номер задания"},
        {"batch status 77", "Нет задания 77"},
        {"batch fly", "Неизвестная команда batch fly"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, 2) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
    }
    EXPECT_EQ(Run("batch list").output, "");
}

// Killed while a terminal runs, the job resumes with that terminal and those
// after it; the ones done are never dialled again.
TEST_F(CliBatchTest, AJobKilledMidwayResumesWithWhatIsNotDone) {
    StartFleet("+7000021 21 link\n+7000022 22 link\n+7000023 23 link silent*1\n"
               "+7000024 24 link password\n");
    const std::string job = NewJob("--terminals 21-24 --commands SetClock");

    const std::string progress = RunUntil(job, [](const std::string& told) {
        return told.find("[0023] ") != std::string::npos;
    });
    ASSERT_NE(progress.find("[0023] "), std::string::npos) << progress;
    EXPECT_EQ(States(job), (std::vector<std::string>{"21:выполнено", "22:выполнено", "23:выполняется",
                                        "24:ожидает"}));

    const CliRun resumed = Run("batch resume " + job);
    EXPECT_EQ(resumed.status, 1) << resumed.output; // 24 refuses its password
    EXPECT_EQ(States(job), (std::vector<std::string>{"21:выполнено", "22:выполнено", "23:выполнено",
                                        "24:ошибка"}));
    EXPECT_EQ(Dials(21), 1);
    EXPECT_EQ(Dials(22), 1);
    EXPECT_EQ(Dials(23), 2);
    EXPECT_EQ(Dials(24), 1);

    const CliRun status = Run("batch status " + job);
    EXPECT_EQ(status.status, 1);
    EXPECT_NE(status.output.find("выполнено: 3"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("24\tошибка\t1\tОшибка пароля доступа к терминалу"),
              std::string::npos)
        << status.output;
    EXPECT_NE(Run("batch list").output.find(job + "\tJ\t"), std::string::npos);
    const CliRun report = Run("batch report " + job + " --csv " + (dir_ / "r.csv"));
    EXPECT_EQ(report.status, 0) << report.output;
    const std::string csv = ReadBytes(dir_ / "r.csv");
    EXPECT_NE(csv.find("21,выполнено,1,21,SetClock,Успешно выполнена\r\n"), std::string::npos)
        << csv;
    EXPECT_NE(csv.find("24,ошибка,1,,,Ошибка пароля доступа к терминалу\r\n"), std::string::npos)
        << csv;
}

// Two programs, each with its own modem, run one job at once: every terminal
// is called by one of them, once.
TEST_F(CliBatchTest, TwoProgramsRunningOneJobShareItsTerminals) {
    StartFleet("+7000021 21 link\n+7000022 22 link\n+7000023 23 link\n+7000024 24 link\n");
    const std::string job = NewJob("--all --commands SetClock");
    CliRun second;
    std::thread other([&] { second = Run("batch run " + job + " --ports " + (dir_ / "ttyFLEET2")); });
    const CliRun first = Run("batch run " + job);
    other.join();
    EXPECT_LE(first.status, 1) << first.output;
    EXPECT_LE(second.status, 1) << second.output;
    EXPECT_EQ(States(job), (std::vector<std::string>{"21:выполнено", "22:выполнено", "23:выполнено",
                                                     "24:выполнено"}))
        << first.output << second.output;
    for (int terminal : {21, 22, 23, 24})
        EXPECT_EQ(Dials(terminal), 1) << terminal;
}

// A job's files and device types: the input sent to every terminal, each
// terminal's reply file its own, device commands only for the types chosen.
TEST_F(CliBatchTest, AJobKeepsItsFilesAndDeviceTypes) {
    StartFleet("+7000021 21 link\n+7000022 22 link\n");
    WriteBytes(dir_ / "fw.bin", "FIRMWARE");
    const std::string job =
        NewJob("--terminals 21,22 --commands LoadFirmware,ReadEventLog --file-in LoadFirmware=" +
               (dir_ / "fw.bin") + " --file-out ReadEventLog=" + (dir_ / "events.txt"));
    const CliRun run = Run("batch run " + job);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadBytes(dir_ / "events_0021.txt"), "JOURNAL");
    EXPECT_EQ(ReadBytes(dir_ / "events_0022.txt"), "JOURNAL");

    // Device commands kept to a type no device of these terminals is: nothing to do.
    const std::string keyboards =
        NewJob("--terminals 21 --commands ReadStatus --device-types 'Клавиатура КЛ-2'");
    EXPECT_EQ(Run("batch run " + keyboards).status, 1);
    EXPECT_EQ(States(keyboards), std::vector<std::string>{"21:пропущено"});

    std::filesystem::remove(dir_ / "fw.bin");
    const CliRun again = Run("batch run " + job);
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.output.find("Невозможно прочитать входной файл команды LoadFirmware: " +
                                (dir_ / "fw.bin")),
              std::string::npos)
        << again.output;
}

// Killed at every step of a job in turn (a call starting, its replies being
// applied, its end written) and resumed: every terminal ends done, none that
// was done is dialled again, and the database is whole.
TEST_F(CliBatchTest, KilledAtAnyStepTheJobEndsEachTerminalDoneOnce) {
    StartFleet("+7000021 21 link\n+7000022 22 link\n+7000023 23 link\n");
    for (std::size_t lines = 1; lines <= 5; ++lines) {
        SCOPED_TRACE(lines);
        const std::string job = NewJob("--terminals 21-23 --commands SetClock,ReadStatus");
        {
            std::lock_guard lock(logLock_);
            dials_.clear();
        }
        const std::string progress = RunUntil(job, [lines](const std::string& told) {
            return static_cast<std::size_t>(std::count(told.begin(), told.end(), '\n')) >= lines;
        });
        std::vector<int> doneBefore;
        for (const std::string& state : States(job))
            if (state.find(":выполнено") != std::string::npos)
                doneBefore.push_back(std::stoi(state));
        const CliRun resumed = Run("batch resume " + job);
        EXPECT_EQ(resumed.status, 0) << progress << resumed.output;
        EXPECT_EQ(States(job), (std::vector<std::string>{"21:выполнено", "22:выполнено",
                                                         "23:выполнено"}));
        for (int terminal : doneBefore)
            EXPECT_EQ(Dials(terminal), 1) << terminal << " was done before the kill";
    }
    CConfigDatabase db(CIniFile(), dir_.Path().string());
    std::vector<std::vector<std::string>> check;
    ASSERT_TRUE(db.Query("PRAGMA integrity_check", check));
    EXPECT_EQ(check, (std::vector<std::vector<std::string>>{{"ok"}}));
}

} // namespace
} // namespace tornu::test
