// The configuration database under a realistic load: 1,000 terminals, each
// with 8 devices of 10 parameters, 3 x 10 phones, 15 keys and 4 loops.
//
// The database is generated once into $TORNU_BENCH_DIR (default: a folder
// under the system's temporary directory) and reused by later runs. With
// TORNU_TEST_CONNECT it is the server that connection string names instead
// (scripts/pg-test.sh build build/bench/bench_db), and psql is the yardstick.
//
//   bench_db --benchmark_filter='Load|Reads'
// The yardstick's counter load_ratio is the load's time over its own.
#include "catalogue/BusDeviceType.h"
#include "catalogue/HostDeviceType.h"
#include "catalogue/ParamDesc.h"
#include "db/ConfigDatabase.h"
#include "db/ConfigurationLoader.h"
#include "db/Terminal.h"
#include "import/OdbBuilder.h"
#include "import/StationImport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tornu {
namespace {

constexpr int kTerminals = 1000;
constexpr int kDevicesPerTerminal = 8;

const char* const kParams[] = {
    "NAME=P0;DESC=Задержка на вход;VTYPE=N;DTYPE=IO;DEFLT=30",
    "NAME=P1;DESC=Задержка на выход;VTYPE=N;DTYPE=IO;DEFLT=60",
    "NAME=P2;DESC=Сирена;VTYPE=N;DTYPE=IO;DEFLT=180;IEXPR=VAL/60;OEXPR=VAL*60",
    "NAME=P3;DESC=Режим;VTYPE=L;DTYPE=IO;DEFLT=0;LIST=Выкл,Вкл,Авто",
    "NAME=P4;DESC=Автопостановка;VTYPE=B;DTYPE=IO;DEFLT=0",
    "NAME=P5;DESC=Звонок;VTYPE=B;DTYPE=IO;DEFLT=1",
    "NAME=P6;DESC=АКБ;VTYPE=F2;DTYPE=I;DEFLT=0;IEXPR=VAL/100",
    "NAME=P7;DESC=Порог;VTYPE=F1;DTYPE=IO;DEFLT=110;IEXPR=VAL/10;OEXPR=VAL*10",
    "NAME=P8;DESC=Объект;VTYPE=S;DTYPE=IO;DEFLT=Объект",
    "NAME=P9;DESC=Версия;VTYPE=S;DTYPE=I",
};

constexpr const char* kHost = "NAME=БМ-8;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;"
                              "TLN=10;PLIST=P0,P1,P2,P3,P4,P5,P6,P7,P8,P9";
constexpr const char* kPartition = "NAME=Раздел-4;DSCNT=4;DMST=1;DSLV=0;TLN=10;PHBOOK=BitMask;"
                                   "PLIST=P0,P1,P2,P3,P4,P5,P6,P7,P8,P9";

const char* const kTables[] = {"terminal",     "device",       "sensor",
                               "device_param", "device_phone", "device_key"};

std::filesystem::path BenchDir() {
    const char* dir = std::getenv("TORNU_BENCH_DIR");
    std::filesystem::path path =
        dir && *dir ? dir : std::filesystem::temp_directory_path() / "tornu-bench-db";
    std::filesystem::create_directories(path);
    return path;
}

ParamDescList MakeParams() {
    ParamDescList params;
    for (const char* text : kParams) {
        auto desc = std::make_unique<CParamDesc>();
        if (desc->Read(text))
            params.push_back(std::move(desc));
    }
    return params;
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

int CountTerminals(CConfigDatabase& db) {
    std::vector<int> counts;
    return db.QueryInts("SELECT COUNT(*) FROM device_key", counts) && !counts.empty() ? counts[0]
                                                                                      : -1;
}

// Makes the configuration through the records themselves, inside one
// transaction so that generating it takes seconds, not minutes.
bool Generate(CConfigDatabase& db, const ParamDescList& params) {
    CHostDeviceType host;
    CBusDeviceType partition;
    if (!host.Read(kHost) || !partition.Read(kPartition) || !db.BeginTransaction())
        return false;
    for (int id = 1; id <= kTerminals; ++id) {
        auto terminal = CTerminal::Create(&db, &params, id, "+7912" + std::to_string(1000000 + id),
                                          "pass'" + std::to_string(id), host, 4);
        if (!terminal)
            return false;
        for (int address = 1; address < kDevicesPerTerminal; ++address) {
            CDevice* device = terminal->CreateDevice(address, partition);
            if (!device)
                return false;
            device->SetName("Раздел " + std::to_string(address));
            device->SetLoopCount(4);
        }
        terminal->DistributeLoops();
        terminal->DeviceAt(1)->Phones()[0]->SetPhoneNumber("+79120000000");
    }
    return db.EndTransaction(true);
}

struct BenchDatabase {
    std::filesystem::path dir = BenchDir();
    ParamDescList params = MakeParams();

    BenchDatabase() {
        std::filesystem::current_path(dir);
        const auto opened = OpenDatabase();
        CConfigDatabase& db = *opened;
        const int expectedKeys = kTerminals * kDevicesPerTerminal * 15;
        if (CountTerminals(db) == expectedKeys)
            return;
        for (const char* table : kTables)
            db.Execute(std::string("DELETE FROM ") + table);
        if (!Generate(db, params) || CountTerminals(db) != expectedKeys)
            std::fprintf(stderr, "generating the database failed: %s\n", db.LastError().c_str());
    }
};

BenchDatabase& Database() {
    static BenchDatabase database;
    return database;
}

// Mean time of one load, for the yardsticks' ratio.
double loadSeconds = 0;

void BM_LoadConfiguration(benchmark::State& state) {
    BenchDatabase& bench = Database();
    const auto opened = OpenDatabase();
    CConfigDatabase& db = *opened;
    std::size_t devices = 0;
    double total = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<CTerminal>> terminals;
        const auto start = std::chrono::steady_clock::now();
        if (!LoadConfiguration(db, bench.params, terminals))
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
    loadSeconds = state.iterations() ? total / static_cast<double>(state.iterations()) : 0;
}

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

// What the sqlite3 shell needs to read every row of the six tables of the
// same file: the yardstick for the load.
void BM_Sqlite3ShellReadsAllRows(benchmark::State& state) {
    BenchDatabase& bench = Database();
    if (!Server().empty()) {
        state.SkipWithError("on the server the yardstick is psql");
        return;
    }
    std::string command = "sqlite3 '" + (bench.dir / CConfigDatabase::kFileName).string() + "' '";
    for (const char* table : kTables)
        command += std::string("SELECT * FROM ") + table + ";";
    command += "' > /dev/null";
    MeasureYardstick(state, command);
}
BENCHMARK(BM_Sqlite3ShellReadsAllRows)->Unit(benchmark::kMillisecond)->Iterations(5);

// psql reading every row of the six tables of the server's database (PGHOST,
// PGPORT, PGDATABASE, PGUSER and PGPASSWORD name it, as scripts/pg-test.sh sets them).
void BM_PsqlReadsAllRows(benchmark::State& state) {
    Database();
    if (Server().empty()) {
        state.SkipWithError("needs the server (TORNU_TEST_CONNECT)");
        return;
    }
    std::string command = "psql -qAtX";
    for (const char* table : kTables)
        command += std::string(" -c 'SELECT * FROM ") + table + "'";
    command += " > /dev/null";
    MeasureYardstick(state, command);
}
BENCHMARK(BM_PsqlReadsAllRows)->Unit(benchmark::kMillisecond)->Iterations(5);

// One write-through change, each its own durable statement. The counter
// median_us is the median of the single calls.
template <class Change> void MeasureUpdates(benchmark::State& state, Change change) {
    BenchDatabase& bench = Database();
    const auto opened = OpenDatabase();
    CConfigDatabase& db = *opened;
    std::vector<std::unique_ptr<CTerminal>> terminals;
    LoadConfiguration(db, bench.params, terminals);
    if (terminals.size() != kTerminals) {
        state.SkipWithError("load failed");
        return;
    }
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
        return terminal.DeviceAt(1 + n % 7)->SetName("Раздел '" + std::to_string(n) + "'");
    });
}
BENCHMARK(BM_UpdateDeviceName)->Unit(benchmark::kMicrosecond);

void BM_UpdatePhoneNumber(benchmark::State& state) {
    MeasureUpdates(state, [](CTerminal& terminal, std::size_t n) {
        return terminal.DeviceAt(n % 8)->Phones()[n % 30]->SetPhoneNumber(
            "+7 (912) " + std::to_string(1000000 + n % 9000000));
    });
}
BENCHMARK(BM_UpdatePhoneNumber)->Unit(benchmark::kMicrosecond);

void BM_UpdateParameter(benchmark::State& state) {
    MeasureUpdates(state, [](CTerminal& terminal, std::size_t n) {
        return terminal.DeviceAt(n % 8)->SetParamValue("P0", std::to_string(n % 255));
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
    if (!LoadConfiguration(db, bench.params, terminals)) {
        state.SkipWithError("load failed");
        return;
    }
    const std::filesystem::path folder = bench.dir / "station";
    std::filesystem::create_directories(folder);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        test::OdbBuilder table = test::StationLayout();
        for (int id = 1; id <= kTerminals; ++id)
            table.Raw(test::StationRecord(id, "+7913" + std::to_string(round * 10000 + id),
                                          "st" + std::to_string(round)));
        std::FILE* out = std::fopen((folder / "terminal.odb").c_str(), "wb");
        const std::string bytes = table.Bytes();
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        ++round;
        state.ResumeTiming();
        if (ImportStationData(folder.string(), terminals).count != kTerminals)
            state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_StationImport)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace tornu

BENCHMARK_MAIN();
