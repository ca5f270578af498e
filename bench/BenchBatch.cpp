// Fleet jobs: a job of many terminals run by the front end over K simulated
// modems, each with the whole fleet behind it, at a fast time scale, and the
// cost of making and reading a job of 10,000 terminals.
//
//   bench_batch                       (200 terminals; TORNU_BENCH_FLEET=N for more)
//
// BM_FleetOverModems/K: wall time of "tornucfg-cli batch run" on K ports,
// speedup over K = 1 (run first) and its share of K (efficiency), the
// front end's CPU per terminal (the simulators run in this process and are
// not counted).
// BM_JobOf10000: "batch new" of 10,000 terminals in-process (create_ms), and
// the memory of its rows read back (bytes_per_terminal).
#include "batch/BatchStore.h"
#include "comms/TimeScale.h"
#include "db/ConfigDatabase.h"
#include "sim/SimFleet.h"
#include "sim/TerminalState.h"
#include "tools/SimTestUtil.h"

#include "BenchProgram.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace tornu {
namespace {

// The time scale of the simulators and of the front end's waits.
constexpr double kScale = 0.05;
constexpr const char* kScaleText = "0.05";

int FleetSize() {
    const char* text = std::getenv("TORNU_BENCH_FLEET");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 200;
}

// The front end on `dir` with `args`.
bench::ProgramRun RunCli(const std::filesystem::path& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {TORNU_BENCH_CLI, "--dir", dir.string()});
    return bench::RunProgram(std::move(args));
}

// A folder with the sample catalogue and the fleet's terminals, made once.
struct Fleet {
    std::filesystem::path dir;
    std::string lines; // the simulators' fleet file
    bool ok = true;
};

Fleet& TheFleet() {
    static Fleet fleet = [] {
        Fleet f;
        f.dir = std::filesystem::temp_directory_path() /
                ("tornu-bench-fleet-" + std::to_string(FleetSize()));
        const bool made = std::filesystem::exists(f.dir / "tornucfg.db");
        std::filesystem::create_directories(f.dir);
        std::filesystem::copy_file(TORNU_SAMPLE_SETTINGS, f.dir / "tornucfg.ini",
                                   std::filesystem::copy_options::overwrite_existing);
        for (int id = 1; id <= FleetSize(); ++id) {
            const std::string n = std::to_string(id);
            f.lines += "+7" + n + " " + n + " link\n";
            if (!made)
                f.ok = f.ok &&
                       RunCli(f.dir, {"add-terminal", n, "--type", "БМ-4", "--phone", "+7" + n,
                                      "--password", "link"})
                           .ok &&
                       RunCli(f.dir, {"edit", n + "/0", "--password", "0000"}).ok;
        }
        return f;
    }();
    return fleet;
}

void BM_FleetOverModems(benchmark::State& state) {
    static double oneModem = 0;
    const int modems = static_cast<int>(state.range(0));
    Fleet& fleet = TheFleet();
    if (!fleet.ok) {
        state.SkipWithError("the fleet could not be made");
        return;
    }
    setenv("TORNU_PASSWORD", "x", 1);
    setenv("TORNU_TIME_SCALE", kScaleText, 1);
    CScopedTimeScale scale(kScale);
    CTerminalState base;
    std::string error;
    base.Read("[Modem]\nDialDelay=200\nReceiptDelay=100\n[Device 0]\nPassword=0000\n", ".", error);
    std::vector<std::unique_ptr<CSimFleet>> fleets;
    std::vector<std::unique_ptr<test::SimOnPty>> sims;
    std::string ports;
    for (int i = 0; i < modems; ++i) {
        fleets.push_back(std::make_unique<CSimFleet>());
        fleets.back()->Read(fleet.lines, base, error);
        sims.push_back(std::make_unique<test::SimOnPty>(*fleets.back()));
        const std::string port = (fleet.dir / ("ttyBENCH" + std::to_string(i))).string();
        if (!sims.back()->Start(port, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        ports += (i ? "," : "") + port;
    }
    double seconds = 0, cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bench::ProgramRun made = RunCli(fleet.dir, {"batch", "new", "K" + std::to_string(modems),
                                                "--all", "--commands", "ReadStatus", "--delay", "0"});
        state.ResumeTiming();
        const bench::ProgramRun run = RunCli(
            fleet.dir, {"batch", "run", made.output.substr(0, made.output.find('\n')), "--ports", ports});
        if (!made.ok || !run.ok)
            state.SkipWithError("the job did not end with every terminal done");
        seconds += run.seconds;
        cpu += run.cpuSeconds;
    }
    const double n = static_cast<double>(state.iterations());
    if (modems == 1)
        oneModem = seconds / n;
    state.counters["wall_s"] = seconds / n;
    state.counters["cpu_ms_per_terminal"] = 1000 * cpu / n / FleetSize();
    if (oneModem > 0) {
        state.counters["speedup"] = oneModem / (seconds / n);
        state.counters["efficiency"] = oneModem / (seconds / n) / modems;
    }
}

void BM_JobOf10000(benchmark::State& state) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tornu-bench-job-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    double create = 0, bytes = 0;
    {
        CIniFile settings;
        CConfigDatabase db(settings, dir.string());
        CBatchStore store(db);
        if (!store.Open())
            state.SkipWithError("the job tables could not be made");
        std::vector<int> terminals(10000);
        for (int i = 0; i < 10000; ++i)
            terminals[static_cast<std::size_t>(i)] = i + 1;
        for (auto _ : state) {
            BatchJob job{0, "Район 4", "bench", "", "ReadStatus", "ATTEMPTS=3;DELAY=60;"};
            const auto start = std::chrono::steady_clock::now();
            if (!store.CreateJob(job, terminals))
                state.SkipWithError("the job could not be made");
            create += bench::SecondsSince(start);
            const std::size_t before = mallinfo2().uordblks;
            const std::vector<BatchTerminal> rows = store.Terminals(job.id);
            bytes += static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(rows.size());
        }
    }
    std::filesystem::remove_all(dir);
    const double n = static_cast<double>(state.iterations());
    state.counters["create_ms"] = 1000 * create / n;
    state.counters["bytes_per_terminal"] = bytes / n;
}

} // namespace
} // namespace tornu

BENCHMARK(tornu::BM_FleetOverModems)
    ->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(tornu::BM_JobOf10000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
