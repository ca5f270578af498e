// The configuration database under a realistic load: terminals of the sample
// catalogue, each a module with its own partition and seven network devices
// (three partitions; an expander, a relay module and two keyboards under
// them), their loops, parameters, phone books and keys: about 330 rows a
// terminal.
//
// $TORNU_BENCH_TERMINALS terminals (default 1,000) are generated once into
// $TORNU_BENCH_DIR (default: a folder per count under the system's temporary
// directory), with the sample settings file beside them, so that the
// programs can be measured on the same folder:
//   tornucfg-cli --dir /tmp/tornu-bench-db-10000 list
// With TORNU_TEST_CONNECT it is the server that connection string names
// instead (scripts/pg-test.sh build build/bench/bench_db), and psql is the
// yardstick.
//
// Start-up in one run: the load, tornucfg-cli list beside the yardstick
// reading the terminal and device tables (list_ratio, peak_MiB), the desktop
// program until its tree is shown (bench_startup: tree_shown_ms, peak_MiB)
// and the first view of a device (its terminal's dependants read):
//   TORNU_BENCH_TERMINALS=100000 bench_db
//       --benchmark_filter='Load|Reads|CliList|TreeShown|FirstView'
// The yardstick's counter load_ratio is the load's time over its own.
#include "catalogue/Catalogue.h"
#include "catalogue/CommandDesc.h"
#include "catalogue/ParamDesc.h"
#include "db/ConfigDatabase.h"
#include "db/ConfigurationLoader.h"
#include "db/Sensor.h"
#include "db/Terminal.h"
#include "doc/OptionViewModels.h"
#include "import/OdbBuilder.h"
#include "import/StationImport.h"
#include "protocol/CommandSet.h"
#include "protocol/Crc8.h"

#include "BenchParams.h"
#include "BenchProgram.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tornu {
namespace {

using bench::ProgramRun;
using bench::RunProgram;
using bench::SecondsSince;

int Terminals() {
    static const int count = [] {
        const char* text = std::getenv("TORNU_BENCH_TERMINALS");
        const int n = text ? std::atoi(text) : 0;
        return n > 0 ? n : 1000;
    }();
    return count;
}

constexpr int kDevicesPerTerminal = 8;

const char* const kTables[] = {"terminal",     "device",       "sensor",
                               "device_param", "device_phone", "device_key"};

// The tables start-up reads.
const char* const kStartTables[] = {"terminal", "device"};

std::filesystem::path BenchDir() {
    const char* dir = std::getenv("TORNU_BENCH_DIR");
    std::filesystem::path path =
        dir && *dir ? std::filesystem::path(dir)
                    : std::filesystem::temp_directory_path() /
                          ("tornu-bench-db-" + std::to_string(Terminals()));
    std::filesystem::create_directories(path);
    return path;
}

std::string Server() {
    const char* connect = std::getenv("TORNU_TEST_CONNECT");
    return connect ? connect : "";
}

// The SQLite file in the current folder, or the server.
std::unique_ptr<CConfigDatabase> OpenDatabase() {
    CIniFile settings;
    if (!Server().empty())
        settings.SetValue(CConfigDatabase::kSection, "Connect", Server());
    return std::make_unique<CConfigDatabase>(settings);
}

int Count(CConfigDatabase& db, const char* table) {
    std::vector<int> counts;
    return db.QueryInts(std::string("SELECT COUNT(*) FROM ") + table, counts) && !counts.empty()
               ? counts[0]
               : -1;
}

const CBusDeviceType* BusType(const CCatalogue& catalogue, const char* name) {
    for (const auto& type : catalogue.BusTypes())
        if (type->Name() == name)
            return type.get();
    return nullptr;
}

// Terminal 1 made through the records themselves; the others are copies of
// its rows made by the database (a fleet's numbers go beyond what a message
// header carries, and a hundred thousand terminals made one record at a time
// take an hour). One transaction.
bool Generate(CConfigDatabase& db, const CCatalogue& catalogue) {
    const CBusDeviceType* partition = BusType(catalogue, "Раздел-8");
    const CBusDeviceType* big = BusType(catalogue, "Раздел-16П");
    const CBusDeviceType* expander = BusType(catalogue, "Расширитель ШС-4");
    const CBusDeviceType* keyboard = BusType(catalogue, "Клавиатура КЛ-2");
    const CBusDeviceType* relay = BusType(catalogue, "Релейный модуль РМ-4");
    if (catalogue.HostTypes().empty() || !partition || !big || !expander || !keyboard || !relay ||
        !db.BeginTransaction())
        return false;
    auto terminal = CTerminal::Create(&db, &catalogue.Params(), 1, "+79121000001", "pass'1",
                                      *catalogue.HostTypes()[0], 4);
    if (!terminal)
        return false;
    CDevice* first = terminal->CreateDevice(1, *partition);
    CDevice* second = terminal->CreateDevice(2, *big);
    CDevice* third = terminal->CreateDevice(5, *partition);
    if (!first || !second || !third || !first->CreateSlave(3, *expander) ||
        !second->CreateSlave(4, *keyboard) || !third->CreateSlave(6, *relay) ||
        !third->CreateSlave(7, *keyboard))
        return false;
    for (const auto& device : terminal->Devices()) {
        device->SetName("Раздел " + std::to_string(device->Address()));
        device->SetLoopCount(device->Type().LoopCount());
    }
    terminal->DistributeLoops();
    first->Phones()[0]->SetPhoneNumber("+79120000000");
    first->Keys()[0]->SetKeyCode("00000A1B2C3D");
    // Every column but term_id, per table of dependants and devices.
    static const char* const kCopies[] = {
        "device SELECT %d,id,password,name,master_id,last_key,systemstate,last_time,config,"
        "sensor_cnt FROM device",
        "sensor SELECT %d,device_id,id,state,type,name FROM sensor",
        "device_param SELECT %d,device_id,name,param_value FROM device_param",
        "device_phone SELECT %d,device_id,id,type,mask,phone FROM device_phone",
        "device_key SELECT %d,device_id,id,key_value,key_owner FROM device_key",
    };
    for (int id = 2; id <= Terminals(); ++id) {
        const std::string phone = "+7912" + std::to_string(1000000 + id);
        const std::string password = "pass'" + std::to_string(id);
        const DbValue values[] = {id, phone, password};
        bool ok = db.Execute(
            "INSERT INTO terminal SELECT ?,?,?,config,term_config FROM terminal WHERE id=1", values);
        for (const char* copy : kCopies)
            ok = ok && db.Execute(CConfigDatabase::Format(
                           (std::string("INSERT INTO ") + copy + " WHERE term_id=1").c_str(), id));
        if (!ok)
            return false;
    }
    return db.EndTransaction(true);
}

struct BenchDatabase {
    std::filesystem::path dir = BenchDir();
    CIniFile settings;
    CCatalogue catalogue;

    BenchDatabase() {
        const std::filesystem::path file = dir / "tornucfg.ini";
        std::filesystem::copy_file(TORNU_SAMPLE_SETTINGS, file,
                                   std::filesystem::copy_options::overwrite_existing);
        static_cast<void>(settings.Load(file.string()));
        // The programs run on the folder reach the same server.
        if (!Server().empty() &&
            settings.SetValue(CConfigDatabase::kSection, "Connect", Server()))
            static_cast<void>(settings.Save());
        catalogue.LoadPhoneBookLayouts(settings);
        catalogue.LoadTypes(settings);
        std::filesystem::current_path(dir);
        const auto opened = OpenDatabase();
        CConfigDatabase& db = *opened;
        if (Count(db, "terminal") == Terminals() &&
            Count(db, "device") == Terminals() * kDevicesPerTerminal)
            return;
        std::fprintf(stderr, "generating %d terminals in %s ...\n", Terminals(), dir.c_str());
        for (const char* table : kTables)
            db.Execute(std::string("DELETE FROM ") + table);
        if (!Generate(db, catalogue) || Count(db, "device") != Terminals() * kDevicesPerTerminal)
            std::fprintf(stderr, "generating the database failed: %s\n", db.LastError().c_str());
    }

    const ParamDescList& Params() const { return catalogue.Params(); }
};

BenchDatabase& Database() {
    static BenchDatabase database;
    return database;
}

// Mean time of one load, for the yardsticks' ratio.
double loadSeconds = 0;

void MeasureLoad(benchmark::State& state, TableAccess access) {
    BenchDatabase& bench = Database();
    const auto opened = OpenDatabase();
    CConfigDatabase& db = *opened;
    std::size_t devices = 0;
    double total = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<CTerminal>> terminals;
        const auto start = std::chrono::steady_clock::now();
        if (!LoadConfiguration(db, bench.Params(), terminals, access))
            state.SkipWithError("load failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        devices = 0;
        for (const auto& terminal : terminals)
            devices += terminal->DeviceCount();
        terminals.clear();
        state.ResumeTiming();
    }
    state.counters["devices"] = static_cast<double>(devices);
    std::size_t rows = 0;
    for (const char* table : kTables)
        rows += static_cast<std::size_t>(std::max(Count(db, table), 0));
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["ns_per_row"] = rows ? total / static_cast<double>(state.iterations()) /
                                              static_cast<double>(rows) * 1e9
                                        : 0;
    if (access == TableAccess::Fastest)
        loadSeconds = state.iterations() ? total / static_cast<double>(state.iterations()) : 0;
}

void BM_LoadConfiguration(benchmark::State& state) {
    MeasureLoad(state, TableAccess::Fastest);
}

// The same through the driver: how a server's database loads.
void BM_LoadConfigurationThroughDriver(benchmark::State& state) {
    MeasureLoad(state, TableAccess::Driver);
}


std::string Sqlite3Command(const BenchDatabase& bench) {
    std::string command = "sqlite3 '" + (bench.dir / CConfigDatabase::kFileName).string() + "' '";
    for (const char* table : kStartTables)
        command += std::string("SELECT * FROM ") + table + ";";
    return command + "' > /dev/null";
}

std::string PsqlCommand() {
    std::string command = "psql -qAtX";
    for (const char* table : kStartTables)
        command += std::string(" -c 'SELECT * FROM ") + table + "'";
    return command + " > /dev/null";
}

// "tornucfg-cli list" on the folder beside the yardstick reading the two
// tables it needs: list_ratio is its time over the yardstick's.
void BM_CliList(benchmark::State& state) {
    BenchDatabase& bench = Database();
    const std::string yardstick = Server().empty() ? Sqlite3Command(bench) : PsqlCommand();
    double list = 0, reads = 0, peak = 0;
    for (auto _ : state) {
        const ProgramRun run = RunProgram({TORNU_BENCH_CLI, "--dir", bench.dir.string(), "list"});
        if (!run.ok)
            state.SkipWithError("tornucfg-cli list failed");
        list += run.seconds;
        peak = std::max(peak, run.peakMiB);
        const auto start = std::chrono::steady_clock::now();
        if (std::system(yardstick.c_str()) != 0)
            state.SkipWithError("the yardstick failed");
        reads += SecondsSince(start);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["list_ms"] = 1000 * list / n;
    state.counters["yardstick_ms"] = 1000 * reads / n;
    state.counters["list_ratio"] = reads > 0 ? list / reads : 0;
    state.counters["peak_MiB"] = peak;
}
BENCHMARK(BM_CliList)->Unit(benchmark::kMillisecond)->Iterations(5);

#ifdef TORNU_BENCH_STARTUP
// The desktop program started on the folder until its tree is shown
// (bench_startup), with its peak memory.
void BM_ProgramTreeShown(benchmark::State& state) {
    BenchDatabase& bench = Database();
    double shown = 0, peak = 0;
    for (auto _ : state) {
        const ProgramRun run = RunProgram({TORNU_BENCH_STARTUP, bench.dir.string()});
        double ms = 0;
        if (!run.ok || std::sscanf(run.output.c_str(), "tree_shown_ms=%lf", &ms) != 1)
            state.SkipWithError("bench_startup failed");
        shown += ms;
        peak = std::max(peak, run.peakMiB);
    }
    state.counters["tree_shown_ms"] = shown / static_cast<double>(state.iterations());
    state.counters["peak_MiB"] = peak;
}
BENCHMARK(BM_ProgramTreeShown)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

// The first view of a device on terminals not looked at before: their
// dependants read (and nothing missing to add), the option view's model made.
void BM_FirstViewOfDevice(benchmark::State& state) {
    BenchDatabase& bench = Database();
    const auto opened = OpenDatabase();
    std::vector<std::unique_ptr<CTerminal>> terminals;
    if (!LoadConfiguration(*opened, bench.Params(), terminals) || terminals.empty()) {
        state.SkipWithError("load failed");
        return;
    }
    const std::size_t stride = std::max<std::size_t>(terminals.size() / 64, 1);
    std::size_t next = 0;
    double worst = 0, total = 0;
    for (auto _ : state) {
        CTerminal& terminal = *terminals[next % terminals.size()];
        next += stride;
        const auto start = std::chrono::steady_clock::now();
        if (CDevice* device = terminal.FindDevice(1))
            benchmark::DoNotOptimize(MakeDeviceViewModel(*device));
        const double seconds = SecondsSince(start);
        worst = std::max(worst, seconds);
        total += seconds;
    }
    state.counters["mean_ms"] = 1000 * total / static_cast<double>(state.iterations());
    state.counters["worst_ms"] = 1000 * worst;
}
BENCHMARK(BM_FirstViewOfDevice)->Unit(benchmark::kMillisecond)->Iterations(50);

// Runs the yardstick `command` and reports the load's time over its own.
void MeasureYardstick(benchmark::State& state, const std::string& command) {
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("the yardstick failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (state.iterations() && total > 0 && loadSeconds > 0)
        state.counters["load_ratio"] = loadSeconds / (total / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_LoadConfiguration)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadConfigurationThroughDriver)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the sqlite3 shell needs to read every row of the terminal and device
// tables of the same file: the yardstick for the load.
void BM_Sqlite3ShellReadsTerminalsAndDevices(benchmark::State& state) {
    BenchDatabase& bench = Database();
    if (!Server().empty()) {
        state.SkipWithError("on the server the yardstick is psql");
        return;
    }
    MeasureYardstick(state, Sqlite3Command(bench));
}
BENCHMARK(BM_Sqlite3ShellReadsTerminalsAndDevices)->Unit(benchmark::kMillisecond)->Iterations(5);

// psql reading every row of the terminal and device tables of the server's database (PGHOST,
// PGPORT, PGDATABASE, PGUSER and PGPASSWORD name it, as scripts/pg-test.sh sets them).
void BM_PsqlReadsTerminalsAndDevices(benchmark::State& state) {
    Database();
    if (Server().empty()) {
        state.SkipWithError("needs the server (TORNU_TEST_CONNECT)");
        return;
    }
    MeasureYardstick(state, PsqlCommand());
}
BENCHMARK(BM_PsqlReadsTerminalsAndDevices)->Unit(benchmark::kMillisecond)->Iterations(5);

// One write-through change, each its own durable statement. The counter
// median_us is the median of the single calls.
template <class Change> void MeasureUpdates(benchmark::State& state, Change change) {
    BenchDatabase& bench = Database();
    const auto opened = OpenDatabase();
    CConfigDatabase& db = *opened;
    std::vector<std::unique_ptr<CTerminal>> terminals;
    LoadConfiguration(db, bench.Params(), terminals);
    if (terminals.size() != static_cast<std::size_t>(Terminals())) {
        state.SkipWithError("load failed");
        return;
    }
    // The updates alone: each terminal's rows are read before, as an
    // operator's edit follows the view that read them.
    for (const auto& terminal : terminals)
        terminal->ReadDependants();
    std::vector<double> micros;
    std::size_t n = 0;
    for (auto _ : state) {
        CTerminal& terminal = *terminals[n % terminals.size()];
        const auto start = std::chrono::steady_clock::now();
        if (!change(terminal, n))
            state.SkipWithError("update failed");
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        ++n;
    }
    std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
    state.counters["median_us"] = micros.empty() ? 0 : micros[micros.size() / 2];
}

void BM_UpdateDeviceName(benchmark::State& state) {
    MeasureUpdates(state, [](CTerminal& terminal, std::size_t n) {
        return terminal.DeviceAt(n % kDevicesPerTerminal)->SetName("Раздел '" + std::to_string(n) + "'");
    });
}
BENCHMARK(BM_UpdateDeviceName)->Unit(benchmark::kMicrosecond);

void BM_UpdatePhoneNumber(benchmark::State& state) {
    MeasureUpdates(state, [](CTerminal& terminal, std::size_t n) {
        return terminal.DeviceAt(n % 3)->Phones()[n % 12]->SetPhoneNumber(
            "+7 (912) " + std::to_string(1000000 + n % 9000000));
    });
}
BENCHMARK(BM_UpdatePhoneNumber)->Unit(benchmark::kMicrosecond);

void BM_UpdateParameter(benchmark::State& state) {
    MeasureUpdates(state, [](CTerminal& terminal, std::size_t n) {
        return terminal.DeviceAt(n % 3)->SetParamValue("DLYIN", std::to_string(n % 255));
    });
}
BENCHMARK(BM_UpdateParameter)->Unit(benchmark::kMicrosecond);

// The station import of 1,000 terminals: every record matches a terminal, and
// each run writes values that differ from the last, so every update is real.
void BM_StationImport(benchmark::State& state) {
    BenchDatabase& bench = Database();
    const auto opened = OpenDatabase();
    CConfigDatabase& db = *opened;
    std::vector<std::unique_ptr<CTerminal>> terminals;
    if (!LoadConfiguration(db, bench.Params(), terminals)) {
        state.SkipWithError("load failed");
        return;
    }
    const std::filesystem::path folder = bench.dir / "station";
    std::filesystem::create_directories(folder);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        test::OdbBuilder table = test::StationLayout();
        for (int id = 1; id <= Terminals(); ++id)
            table.Raw(test::StationRecord(id, "+7913" + std::to_string(round * 10000 + id),
                                          "st" + std::to_string(round)));
        std::FILE* out = std::fopen((folder / "terminal.odb").c_str(), "wb");
        const std::string bytes = table.Bytes();
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        ++round;
        state.ResumeTiming();
        if (ImportStationData(folder.string(), terminals).count != Terminals())
            state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_StationImport)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// Whole replies applied to a device of 64 loops and 40 parameters, each as
// the exchange applies it: one transaction for the reply. The device lives in
// a database file of its own; every run's reply differs from the last, so
// every value in it is written.
constexpr int kBigLoops = 64;
constexpr int kBigParams = 40;

class CReplyDevice {
public:
    CReplyDevice() {
        Database();
        const std::filesystem::path dir = BenchDir() / "replies";
        std::filesystem::create_directories(dir);
        std::filesystem::remove(dir / CConfigDatabase::kFileName);
        CIniFile settings;
        settings.SetValue(CConfigDatabase::kSection, "Connect",
                          CConfigDatabase::DefaultConnectString(dir.string()));
        db_ = std::make_unique<CConfigDatabase>(settings);
        for (int i = 0; i < kBigParams; ++i) {
            auto desc = std::make_unique<CParamDesc>();
            desc->Read("NAME=P" + std::to_string(i) + ";DESC=Параметр;" +
                       bench::kParamKinds[i % std::size(bench::kParamKinds)]);
            params_.push_back(std::move(desc));
        }
        CHostDeviceType host;
        host.Read("NAME=БМ-64;DADDR=0;TSCNT=128;TDCNT=16;RS485=1;DSCNT=" +
                  std::to_string(kBigLoops) + ";DMST=1;DSLV=0;TLN=16;PHBOOK=BitMask;PLIST=" +
                  bench::ParamList(kBigParams));
        terminal_ = CTerminal::Create(db_.get(), &params_, 1, "+79120000001", "1234", host,
                                      kBigLoops);
        device_ = terminal_ ? terminal_->DeviceAt(0) : nullptr;
        if (device_) {
            terminal_->DistributeLoops();
            snapshot_ = device_->Snapshot();
        }
    }

    bool Ready() const {
        return device_ && static_cast<int>(device_->Loops().size()) == kBigLoops &&
               device_->Params().size() == kBigParams;
    }

    // Read against the snapshot the exchange took when it started, then
    // applied.
    bool Apply(int command, const std::string& data) {
        const CommandSpec spec{command, CommandKind::Device, {}, 0, std::nullopt, {}};
        const std::optional<ReplyValue> value =
            ReadDeviceReply(snapshot_, spec, CTermMessage(1, 1, data));
        return value && device_->ApplyReply(*value);
    }

    // The reply's values are in the records: nothing was refused.
    bool Applied(int command, const std::string& text) const {
        const DeviceSnapshot now = device_->Snapshot();
        if (command == 38)
            return BuildKeyText(now.keys) == text;
        if (command == 23)
            return BuildPhoneBookText(now.phones) == text;
        return text.find("P39=" + std::string(device_->Params().back()->Value()) + ";") != std::string::npos;
    }

    static std::string Status(int n) {
        std::string text;
        for (int i = 0; i < kBigParams; ++i)
            text.append(1, 'P').append(std::to_string(i)).append(1, '=')
                .append(std::to_string((n + i) % 2)).append(1, ';');
        text += n % 2 ? "SYS=0110;" : "SYS=1001;";
        text += "KEY=" + std::to_string(n % 15) + ";SHL=";
        char group[8];
        for (int loop = 1; loop <= kBigLoops; ++loop) {
            std::snprintf(group, sizeof group, "%03d%X", loop, (n + loop) % 16);
            text += group;
        }
        return text + ";";
    }

    // Valid codes: family 01, a serial from n and i, the CRC byte first.
    static std::string Keys(int n) {
        std::string text;
        for (int i = 0; i < 15; ++i) {
            std::uint8_t bytes[7] = {0x01, static_cast<std::uint8_t>(i),
                                     static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)};
            char code[24];
            std::snprintf(code, sizeof code, "%02X", Crc8(bytes, sizeof bytes));
            for (int b = 6; b >= 0; --b)
                std::snprintf(code + 2 + 2 * (6 - b), 3, "%02X", bytes[b]);
            text += (i ? "KEY" + std::to_string(i) : std::string("MKEY")) + "=" + code + ";";
        }
        return text;
    }

    static std::string PhoneBook(int n) {
        std::string text;
        char entry[32];
        for (const char* type : {"SMS", "DIA", "DAT"}) {
            text += std::string(type) + "=";
            for (int i = 0; i < 16; ++i) {
                std::snprintf(entry, sizeof entry, "7912%08d%06X,", n * 100 + i, (n + i) & 0xFF);
                text += entry;
            }
            text += ";";
        }
        return text;
    }

private:
    std::unique_ptr<CConfigDatabase> db_;
    ParamDescList params_;
    std::unique_ptr<CTerminal> terminal_;
    CDevice* device_ = nullptr;
    DeviceSnapshot snapshot_;
};

template <class Text> void MeasureReply(benchmark::State& state, int command, Text text) {
    if (!Server().empty()) {
        state.SkipWithError("replies are measured on SQLite");
        return;
    }
    CReplyDevice device;
    if (!device.Ready()) {
        state.SkipWithError("the device could not be made");
        return;
    }
    std::vector<std::string> replies;
    for (int n = 0; n < 64; ++n)
        replies.push_back(text(n));
    if (!device.Apply(command, replies.back()) || !device.Applied(command, replies.back())) {
        state.SkipWithError("the reply did not change the device");
        return;
    }
    std::vector<double> micros;
    std::size_t n = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!device.Apply(command, replies[n++ % replies.size()]))
            state.SkipWithError("the reply was refused");
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
    state.counters["median_us"] = micros.empty() ? 0 : micros[micros.size() / 2];
}

void BM_ApplyStatusReply(benchmark::State& state) {
    MeasureReply(state, 16, CReplyDevice::Status);
}
BENCHMARK(BM_ApplyStatusReply)->Unit(benchmark::kMicrosecond);

void BM_ApplyKeyListReply(benchmark::State& state) {
    MeasureReply(state, 38, CReplyDevice::Keys);
}
BENCHMARK(BM_ApplyKeyListReply)->Unit(benchmark::kMicrosecond);

void BM_ApplyPhoneBookReply(benchmark::State& state) {
    MeasureReply(state, 23, CReplyDevice::PhoneBook);
}
BENCHMARK(BM_ApplyPhoneBookReply)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tornu

BENCHMARK_MAIN();
