// The desktop program under a large configuration: 10,000 terminals of 8
// devices each. Measures the tree filled anew (the structure toggled, the
// view laid out and painted) and the selection of a device with 64 loops and
// 40 parameters (its option view, loop list and grid filled and painted).
// Then a fleet job of all of them made in the window "Пакетный обмен" (its
// rows stored and shown, the heap it keeps per terminal), and a burst of its
// calls' ends shown in one coalesced refresh of the window.
//
// The folder with its catalogue and database is generated once into
// $TORNU_BENCH_DIR/ui (default: a folder under the system's temporary
// directory) and reused by later runs.
//
//   QT_QPA_PLATFORM=offscreen bench_ui
#include "batch/BatchSession.h"
#include "db/ConfigDatabase.h"
#include "db/Terminal.h"
#include "doc/TornuCfgDoc.h"
#include "settings/IniFile.h"
#include "ui/BatchDlg.h"
#include "ui/BatchModel.h"
#include "ui/MainFrame.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QTableView>
#include <QTreeView>

#include "BenchParams.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <memory>
#include <string>
#include <time.h>

namespace tornu {
namespace {

constexpr int kTerminals = 10000;
constexpr int kDevicesPerTerminal = 8;
constexpr int kBigLoops = 64;
constexpr int kBigParams = 40;

using bench::kParamKinds;
using bench::ParamList;

std::filesystem::path BenchDir() {
    const char* dir = std::getenv("TORNU_BENCH_DIR");
    std::filesystem::path path =
        (dir && *dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path() /
                                                        "tornu-bench") /
        "ui";
    std::filesystem::create_directories(path);
    return path;
}

// The catalogue: a big module type for terminal 1, a small one for the rest,
// partitions of two parameters and no loops or phones (the tree is measured,
// not the load).
void WriteSettings() {
    CIniFile ini(kSettingsFileName);
    ini.SetValue("Main", "ConfigVersion", "bench");
    ini.SetValue("HostDevice.Type", "1",
                 "NAME=БМ-64;DADDR=0;TSCNT=512;TDCNT=16;RS485=1;DSCNT=" +
                     std::to_string(kBigLoops) + ";DMST=1;DSLV=0;TLN=0;PLIST=" +
                     ParamList(kBigParams));
    ini.SetValue("HostDevice.Type", "2",
                 "NAME=БМ-4;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DSCNT=0;DMST=1;DSLV=0;TLN=0;"
                 "PLIST=P0,P1");
    ini.SetValue("BusDevice.Type", "1",
                 "NAME=Раздел-0;DSCNT=0;DMST=1;DSLV=0;TLN=0;PLIST=P0,P1");
    for (int i = 0; i < kBigParams; ++i)
        ini.SetValue("BusDevice.Parameters", std::to_string(i + 1),
                     "NAME=P" + std::to_string(i) + ";DESC=Параметр " + std::to_string(i) +
                         ";GROUP=Группа " + std::to_string(i / 8) + ";" +
                         kParamKinds[i % std::size(kParamKinds)] + ";CMNT=Пояснение");
    static_cast<void>(ini.Save());
}

bool Generate(CTornuCfgDoc& doc) {
    CConfigDatabase& db = doc.Workspace().Database();
    const CCatalogue& catalogue = doc.Workspace().Catalogue();
    if (catalogue.HostTypes().size() != 2 || catalogue.BusTypes().empty() || !db.BeginTransaction())
        return false;
    for (int id = 1; id <= kTerminals; ++id) {
        const bool big = id == 1;
        auto terminal = CTerminal::Create(&db, &catalogue.Params(), id,
                                          "+7912" + std::to_string(1000000 + id), "1234",
                                          *catalogue.HostTypes()[big ? 0 : 1], big ? kBigLoops : 0);
        if (!terminal)
            return false;
        for (int address = 1; address < kDevicesPerTerminal; ++address) {
            CDevice* device = terminal->CreateDevice(address, *catalogue.BusTypes()[0]);
            if (!device || !device->SetName("Раздел " + std::to_string(address)))
                return false;
        }
        if (big)
            terminal->DistributeLoops();
    }
    return db.EndTransaction(true);
}

class CBenchProgram {
public:
    CBenchProgram() {
        dir_ = BenchDir();
        std::filesystem::current_path(dir_);
        const bool fresh = !std::filesystem::exists(dir_ / kSettingsFileName);
        if (fresh)
            WriteSettings();
        doc_ = std::make_unique<CTornuCfgDoc>(op_, dir_);
        frame_ = std::make_unique<ui::CMainFrame>(*doc_, op_);
        frame_->Start();
        if (doc_->Workspace().Terminals().size() != kTerminals) {
            std::fprintf(stderr, "generating %d terminals in %s ...\n", kTerminals, dir_.c_str());
            if (!Generate(*doc_))
                std::fprintf(stderr, "generating failed: %s\n", doc_->Workspace().Database().LastError().c_str());
            frame_.reset();
            doc_ = std::make_unique<CTornuCfgDoc>(op_, dir_);
            frame_ = std::make_unique<ui::CMainFrame>(*doc_, op_);
            frame_->Start();
        }
        frame_->resize(1280, 860);
        frame_->show();
        Settle();
    }

    static void Settle() {
        QApplication::processEvents();
        QApplication::processEvents();
    }

    CTornuCfgDoc& Doc() { return *doc_; }
    ui::CMainFrame& Frame() { return *frame_; }

private:
    std::filesystem::path dir_;
    ui::CModalRunner runner_;
    ui::CQtOperator op_{runner_};
    std::unique_ptr<CTornuCfgDoc> doc_;
    std::unique_ptr<ui::CMainFrame> frame_;
};

// Made on first use, gone before the application object.
std::unique_ptr<CBenchProgram> program;

CBenchProgram& Program() {
    if (!program)
        program = std::make_unique<CBenchProgram>();
    return *program;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The UI thread's own processor time: on a loaded machine the wall time
// counts the other processes too.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The tree built anew with the structure shown (argument 1: terminals with
// their devices under them) or hidden (0: 80,000 devices at the root), as
// "Показывать структуру" does it: the tree emptied and filled again from the
// document, the item model reset, the view laid out and painted.
void BM_FillTree(benchmark::State& state) {
    CBenchProgram& program = Program();
    const bool structure = state.range(0) != 0;
    QAction* toggle = program.Frame().findChild<QAction*>(QStringLiteral("showStructure"));
    double cpu = 0;
    for (auto _ : state) {
        if (program.Doc().Tree().ShowStructure() == structure) {
            toggle->trigger();
            CBenchProgram::Settle();
        }
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadSeconds();
        toggle->trigger();
        program.Frame().TreePane().Tree()->repaint();
        CBenchProgram::Settle();
        cpu += ThreadSeconds() - cpuStart;
        state.SetIterationTime(Seconds(start));
    }
    state.counters["thread_cpu_ms"] = 1000 * cpu / static_cast<double>(state.iterations());
    std::size_t items = 0;
    program.Doc().Tree().ForEach([&](CTreeNode&) { ++items; });
    state.counters["items"] = static_cast<double>(items);
    if (!program.Doc().Tree().ShowStructure())
        toggle->trigger();
}
BENCHMARK(BM_FillTree)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// Terminal 1's own module selected (after its terminal): header, system
// state, 64 loop rows and 40 grid rows, painted.
void BM_SelectDevice(benchmark::State& state) {
    CBenchProgram& program = Program();
    ui::CTerminalView& tree = program.Frame().TreePane();
    CTreeNode* terminal = program.Doc().FindNode(1);
    CTreeNode* module = program.Doc().FindNode(1, 0);
    if (!terminal || !module) {
        state.SkipWithError("terminal 1 is missing");
        return;
    }
    double cpu = 0;
    for (auto _ : state) {
        tree.SelectNode(terminal);
        CBenchProgram::Settle();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadSeconds();
        tree.SelectNode(module);
        program.Frame().repaint();
        CBenchProgram::Settle();
        cpu += ThreadSeconds() - cpuStart;
        state.SetIterationTime(Seconds(start));
    }
    state.counters["thread_cpu_ms"] = 1000 * cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SelectDevice)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

std::vector<int> AllTerminals(CTornuCfgDoc& doc) {
    std::vector<int> ids;
    for (const auto& terminal : doc.Workspace().Terminals())
        ids.push_back(terminal->Id());
    return ids;
}

// A job of every terminal made in the window: its rows written in one
// transaction, read back and shown. The heap kept per terminal is what the
// window holds for the job afterwards.
void BM_BatchJobCreate(benchmark::State& state) {
    CBenchProgram& program = Program();
    ui::CBatchDlg& window = program.Frame().BatchWindow();
    window.show();
    const std::vector<int> ids = AllTerminals(program.Doc());
    double bytes = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const std::size_t before = mallinfo2().uordblks;
        const auto start = std::chrono::steady_clock::now();
        BatchJob job{.name = "bench", .commands = "P"};
        if (CResult made = window.Session().CreateJob(job, ids); !made) {
            state.SkipWithError(made.Error().c_str());
            return;
        }
        window.ReloadJobs(job.id);
        window.Table()->repaint();
        CBenchProgram::Settle();
        state.SetIterationTime(Seconds(start));
        bytes += static_cast<double>(mallinfo2().uordblks) - static_cast<double>(before);
    }
    state.counters["terminals"] = static_cast<double>(ids.size());
    state.counters["heap_bytes_per_terminal"] =
        bytes / static_cast<double>(state.iterations()) / static_cast<double>(ids.size());
}
BENCHMARK(BM_BatchJobCreate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// 500 calls ending between two ticks of the window's timer, spread over the
// job: one refresh tells the table, which repaints what shows.
void BM_BatchRefresh(benchmark::State& state) {
    CBenchProgram& program = Program();
    ui::CBatchDlg& window = program.Frame().BatchWindow();
    CBatchViewModel& rows = window.Session().Model();
    if (rows.Size() == 0) {
        state.SkipWithError("no job shown");
        return;
    }
    BatchTerminal row;
    int round = 0;
    double cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadSeconds();
        for (std::size_t i = 0; i < 500; ++i) {
            row.terminal = rows.Row((i * 20 + static_cast<std::size_t>(round)) % rows.Size()).terminal;
            row.state = round % 2 ? kBatchDone : kBatchRunning;
            row.started = "2026-12-07 10:00:00";
            row.ended = "2026-12-07 10:01:00";
            rows.Apply(row, "COM1");
        }
        window.Poll();
        window.Table()->repaint();
        CBenchProgram::Settle();
        cpu += ThreadSeconds() - cpuStart;
        state.SetIterationTime(Seconds(start));
        ++round;
    }
    state.counters["thread_cpu_ms"] = 1000 * cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BatchRefresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
} // namespace tornu

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tornu::program.reset();
    return 0;
}
