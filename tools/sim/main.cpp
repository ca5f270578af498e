// tornucfg-sim: a GSM modem and a security terminal on a pseudo-terminal, for
// tests, demonstrations and operator training without equipment.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

#include "comms/TimeScale.h"
#include "settings/PrivateFile.h"
#include "sim/PtyRunner.h"
#include "sim/Simulator.h"
#include "sim/TerminalState.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop = true;
}

// Used without --state: one base module with its partition at address 0.
const char kDefaultState[] = "[Terminal]\nNumber=1\nLinkPassword=0000\n"
                             "[Device 0]\nMaster=-1\nPassword=0000\n"
                             "Loop.1=3,0\nLoop.2=3,0\nLoop.3=3,8\nLoop.4=3,1\n";

const char kUsage[] =
    "Usage: tornucfg-sim --link PATH [options]\n"
    "Plays a GSM modem and a security terminal on a pseudo-terminal. Point the\n"
    "configurator's \"ComPort\" (section \"Modem\") at PATH.\n"
    "\n"
    "  --link PATH        symbolic link to create to the pseudo-terminal (required)\n"
    "  --state FILE       the terminal's state and faults (see tools/sim/README.md);\n"
    "                     without it: terminal 1, link password 0000, partition 0\n"
    "  --fleet FILE       many terminals behind the modem, picked by the dialled\n"
    "                     number, each a copy of the --state terminal (see README)\n"
    "  --save-state FILE  write the state back after every call and on exit\n"
    "  --log FILE         append the log there instead of the standard error\n"
    "  --time-scale F     multiply every delay by F (0 < F; 1 is real time)\n"
    "  --help             this text\n"
    "  --version          the version\n";

struct Options {
    std::string link, state, fleet, saveState, log;
    double timeScale = 1;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (arg == "--version") {
            std::cout << "tornucfg-sim " << TORNU_PACKAGE_VERSION << "\n";
            std::exit(0);
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--link")
            options.link = value;
        else if (arg == "--state")
            options.state = value;
        else if (arg == "--fleet")
            options.fleet = value;
        else if (arg == "--save-state")
            options.saveState = value;
        else if (arg == "--log")
            options.log = value;
        else if (arg == "--time-scale")
            options.timeScale = std::atof(value.c_str());
        else
            return false;
    }
    // A fleet's terminals live in this process only.
    return !options.link.empty() && options.timeScale > 0 &&
           (options.fleet.empty() || options.saveState.empty());
}

std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(ms));
    return text;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tornu;
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << kUsage;
        return 2;
    }
    CTimeScale::Set(options.timeScale);
    CTerminalState state;
    std::string error;
    const bool read = options.state.empty() ? state.Read(kDefaultState, ".", error)
                                            : state.Load(options.state, error);
    if (!read) {
        std::cerr << "tornucfg-sim: " << error << "\n";
        return 2;
    }
    CSimFleet fleet;
    if (!options.fleet.empty() && !fleet.Load(options.fleet, state, error)) {
        std::cerr << "tornucfg-sim: " << error << "\n";
        return 2;
    }
    std::ofstream logFile;
    // The frames carry the passwords: a new log is its owner's alone.
    if (!options.log.empty() && tornu::CreatePrivateFile(options.log))
        logFile.open(options.log, std::ios::app);
    std::ostream& log = options.log.empty() ? std::cerr : logFile;
    const CSimulator::LogSink sink = [&log](const std::string& line) {
        log << TimeStamp() << line << std::endl;
    };
    CSimulator simulator = options.fleet.empty() ? CSimulator(state, sink) : CSimulator(fleet, sink);
    CPtyRunner runner(simulator);
    if (!runner.Open(options.link, error)) {
        std::cerr << "tornucfg-sim: " << error << "\n";
        return 1;
    }
    auto save = [&] {
        if (!options.saveState.empty() && !state.Save(options.saveState))
            log << TimeStamp() << "-- cannot save the state to " << options.saveState << std::endl;
    };
    runner.onCallEnded = save;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::cout << "tornucfg-sim: " << options.link << " -> " << runner.SlavePath() << std::endl;
    if (options.fleet.empty())
        log << TimeStamp() << "-- terminal " << state.number << " ready on " << runner.SlavePath()
            << std::endl;
    else
        log << TimeStamp() << "-- a fleet of " << fleet.Entries().size() << " terminals ready on "
            << runner.SlavePath() << std::endl;
    runner.Run(g_stop);
    runner.Close();
    save();
    log << TimeStamp() << "-- stopped" << std::endl;
    return 0;
}
