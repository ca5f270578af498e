// The load at start-up and the read of a terminal's dependants when first
// needed: what was written comes back, and rows that cannot make a record are
// left out without stopping the load.
#include "RecordTestFixture.h"

#include "db/RowSource.h"

#include <climits>
#include <filesystem>
#include <sstream>

namespace tornu {
namespace {

using test::BusType;
using test::Describe;
using test::DumpTables;
using test::RecordTest;

class RecordLoadTest : public RecordTest {
protected:
    // Two terminals: one with its module, a partition with two slaves and
    // loops; one without a module whose first device sits at address 0.
    void BuildConfiguration() {
        auto first = NewTerminal(12, test::kHostWithModule, 2);
        CDevice* partition = first->CreateDevice(5, BusType(test::kPartitionType));
        partition->SetName("Офис");
        partition->SetLoopCount(3);
        CDevice* expander = partition->CreateSlave(9, BusType(test::kExpanderType));
        expander->SetLoopCount(2);
        partition->CreateSlave(7, BusType(test::kRelayType));
        first->DistributeLoops();
        first->Loops()[1]->SetName("Окно");
        first->Loops()[1]->SetType(3);
        first->Loops()[1]->SetState(4);
        partition->Phones()[2]->SetPhoneNumber("+7 912 000-11-22");
        partition->Phones()[2]->SetMaskBit(5, 1);
        partition->Keys()[0]->SetKeyCode("A200000001B81C02");
        partition->Keys()[0]->SetOwner("Иванов");
        partition->SetParamValue("OBJNAME", "Склад №2");
        first->SetLoopConfiguration("M0=2(0,0,),");

        auto second = NewTerminal(3, test::kHostWithoutModule);
        CDevice* atZero = second->CreateDevice(0, BusType(test::kPartitionType));
        atZero->SetName("Нулевой");
        second->CreateDevice(4, BusType(test::kBareType));
        expected.clear();
        expected.push_back(std::move(second));
        expected.push_back(std::move(first));
    }

    std::vector<std::unique_ptr<CTerminal>> expected;
};

TEST_F(RecordLoadTest, WhatWasWrittenLoadsBackInIdOrder) {
    BuildConfiguration();
    const std::string before = Describe(expected);
    EXPECT_EQ(Describe(Reload()), before);
    // Twice: the device at address 0 of a terminal without a module survives restarts.
    EXPECT_EQ(Describe(Reload()), before);
    expected.clear();
    Exec("DELETE FROM terminal");
    EXPECT_TRUE(Reload().empty());
}

TEST_F(RecordLoadTest, DependantsAreReadOnceWhenFirstNeeded) {
    BuildConfiguration();
    expected.clear();
    Exec("UPDATE device SET password='п9',systemstate=3 WHERE term_id=12 AND id=9");
    oldDbs.push_back(std::move(db));
    db = std::make_unique<CConfigDatabase>(dbSettings);
    std::vector<std::string> statements;
    db->Connection().SetTrace([&](const std::string& s) { statements.push_back(s); });
    std::vector<std::unique_ptr<CTerminal>> terminals;
    // Through the driver, so that every read shows.
    ASSERT_TRUE(LoadConfiguration(*db, params, terminals, TableAccess::Driver));
    for (const std::string& statement : statements) {
        for (const char* table : {"sensor ", "device_param", "device_phone", "device_key"})
            EXPECT_EQ(statement.find(table), std::string::npos) << statement;
        EXPECT_EQ(statement.find("password,"), std::string::npos) << statement;
    }
    ASSERT_EQ(terminals.size(), 2u);
    CTerminal& first = *terminals[1];
    EXPECT_FALSE(first.DependantsRead());

    // A device's password, key, state and time come with the dependants.
    statements.clear();
    CDevice* expander = first.FindDevice(9);
    EXPECT_EQ(expander->Password(), "п9");
    EXPECT_EQ(statements.size(), 5u); // one query a table, nothing missing to add
    for (const std::string& statement : statements)
        EXPECT_NE(statement.find("WHERE term_id=?"), std::string::npos) << statement;
    EXPECT_EQ(expander->SystemState(), 3);
    statements.clear();
    ASSERT_EQ(expander->Loops().size(), 2u);
    EXPECT_EQ(first.FindLoop(2)->Name(), "Окно");
    EXPECT_EQ(first.FindDevice(5)->FindParam("OBJNAME")->Value(), "Склад №2");
    EXPECT_EQ(first.FindDevice(5)->Keys()[0]->Owner(), "Иванов");
    EXPECT_EQ(first.FindDevice(0)->Phones().size(), 6u);
    EXPECT_TRUE(statements.empty()) << statements.front();
    EXPECT_FALSE(terminals[0]->DependantsRead());
    // A terminal made in the program has them from birth.
    EXPECT_TRUE(NewTerminal(20)->DependantsRead());
}

TEST_F(RecordLoadTest, ParameterPhoneAndKeyRowsThatAreMissingAreAddedWhenFirstRead) {
    BuildConfiguration();
    expected.clear();
    const std::string missing[][2] = {
        {"device_param", "term_id=12 AND device_id=5 AND name='DLYIN'"},
        {"device_phone", "term_id=12 AND device_id=5 AND id=4"},
        {"device_key", "term_id=12 AND device_id=5 AND id=14"},
    };
    for (const auto& [table, where] : missing)
        Exec("DELETE FROM " + table + " WHERE " + where);
    auto terminals = Reload();
    for (const auto& [table, where] : missing)
        EXPECT_EQ(Count(table, where), 0) << "added before anything asked: " << table;
    CDevice* partition = terminals[1]->FindDevice(5);
    EXPECT_EQ(partition->FindParam("DLYIN")->Value(), "30");
    EXPECT_EQ(Count("device_param", "term_id=12 AND device_id=5 AND name='DLYIN' AND "
                                    "param_value='30'"),
              1);
    EXPECT_EQ(Count("device_phone", "term_id=12 AND device_id=5 AND id=4 AND type=2"), 1);
    EXPECT_EQ(Count("device_key", "term_id=12 AND device_id=5 AND id=14"), 1);
    // The added rows take changes like any other.
    ASSERT_TRUE(partition->Keys()[14]->SetOwner("Петров"));
    EXPECT_EQ(Count("device_key", "device_id=5 AND id=14 AND key_owner='Петров'"), 1);

    // A terminal another operator deleted after the load gets no rows back.
    for (const auto& [table, where] : missing)
        Exec("DELETE FROM " + table + " WHERE " + where);
    terminals = Reload();
    Exec("DELETE FROM terminal WHERE id=12");
    EXPECT_EQ(terminals[1]->FindDevice(5)->FindParam("DLYIN")->Value(), "30");
    for (const auto& [table, where] : missing)
        EXPECT_EQ(Count(table, where), 0) << table;
}

struct BadRowsCase {
    const char* name;
    std::vector<std::string> statements;
    // What must still be in memory after the load.
    std::vector<std::string> present;
    // What must not be.
    std::vector<std::string> absent;
};

// "T12" a terminal, "T12 D5" a device, "T12 D5 S9" a device attached as
// slave of D5, "T12 L3@5" loop 3 of device 5.
bool Has(const std::vector<std::unique_ptr<CTerminal>>& terminals, const std::string& what) {
    constexpr int kNone = INT_MIN;
    int t = kNone, d = kNone, s = kNone, l = kNone, ld = kNone;
    if (std::sscanf(what.c_str(), "T%d L%d@%d", &t, &l, &ld) == 3) {
    } else if (std::sscanf(what.c_str(), "T%d D%d S%d", &t, &d, &s) < 1) {
        return false;
    }
    for (const auto& terminal : terminals) {
        if (terminal->Id() != t)
            continue;
        if (l != kNone) {
            CSensor* loop = terminal->FindLoop(l);
            return loop && loop->Device().Address() == ld;
        }
        if (d == kNone)
            return true;
        CDevice* device = terminal->FindDevice(d);
        if (!device || s == kNone)
            return device != nullptr;
        for (CDevice* slave : device->Slaves())
            if (slave->Address() == s)
                return true;
        return false;
    }
    return false;
}

std::string DeviceRow(int terminal, int address, int master, const char* type) {
    return CConfigDatabase::Format("INSERT INTO device VALUES(%d,%d,'','',%d,-1,13,'',%s,0)",
                                   terminal, address, master, tornu::test::SqlQuote(type).c_str());
}

std::string LoopRow(int terminal, int device, int number) {
    return CConfigDatabase::Format("INSERT INTO sensor VALUES(%d,%d,%d,0,0,'')", terminal, device,
                                   number);
}

const BadRowsCase kBadRows[] = {
    {"slave of a missing master stays unattached",
     {DeviceRow(12, 11, 14, test::kExpanderType)},
     {"T12 D11", "T12 D5 S9"},
     {}},
    {"rows of a missing terminal are ignored",
     {DeviceRow(40, 1, -1, test::kPartitionType), LoopRow(40, 1, 1)},
     {"T12 D5 S9", "T3 D0"},
     {"T40"}},
    {"terminal type that does not read",
     {"INSERT INTO terminal VALUES(8,'','','NAME=Сломанный;TSCNT=x','')",
      DeviceRow(8, 1, -1, test::kPartitionType)},
     {"T3 D4", "T12 D5 S7"},
     {"T8"}},
    {"device type that does not read",
     {DeviceRow(12, 2, -1, "NAME=Без TLN;DSCNT=1;DMST=1;DSLV=0"), LoopRow(12, 2, 8)},
     {"T12 D5 S9", "T12 D0"},
     {"T12 D2", "T12 L8@2"}},
    {"device address out of range is skipped, not the end",
     {DeviceRow(12, 16, -1, test::kPartitionType), DeviceRow(12, -1, -1, test::kPartitionType),
      DeviceRow(3, 6, -1, test::kBareType)},
     {"T12 D5 S9", "T3 D0", "T3 D4", "T3 D6"},
     {"T12 D16", "T12 D-1"}},
    {"negative terminal id is skipped",
     {CConfigDatabase::Format("INSERT INTO terminal VALUES(-4,'','',%s,'')",
                              tornu::test::SqlQuote(test::kHostWithoutModule).c_str())},
     {"T3 D0", "T12 D5"},
     {"T-4"}},
    {"loop numbers below 1 are skipped",
     {DeviceRow(3, 2, -1, test::kPartitionType), LoopRow(3, 2, 0), LoopRow(3, 2, -3),
      LoopRow(3, 2, 6)},
     {"T3 D2", "T3 L6@2"},
     {}},
    {"masters naming each other or themselves",
     {DeviceRow(3, 1, 2, test::kPartitionType), DeviceRow(3, 2, 1, test::kPartitionType),
      DeviceRow(3, 3, 3, test::kPartitionType)},
     {"T3 D1", "T3 D2", "T3 D3"},
     {"T3 D1 S2", "T3 D2 S1", "T3 D3 S3"}},
    {"slave of a slave stays unattached",
     {DeviceRow(12, 13, 9, test::kRelayType)},
     {"T12 D13", "T12 D5 S9"},
     {"T12 D9 S13"}},
    {"loops beyond the type's maximum are not loaded", // the relay has one at most
     {"DELETE FROM sensor WHERE term_id=12 AND device_id=9", LoopRow(12, 7, 6), LoopRow(12, 7, 7),
      LoopRow(12, 7, 8)},
     {"T12 L6@7"},
     {"T12 L7@7", "T12 L8@7"}},
    {"NULL ids",
     {"INSERT INTO device VALUES(3,NULL,'','',-1,-1,13,'','',0)",
      "INSERT INTO terminal VALUES(NULL,'','','','')"},
     {"T3 D0", "T3 D4"},
     {}},
};

void PrintTo(const BadRowsCase& bad, std::ostream* out) {
    *out << bad.name;
}

class RecordBadRowsTest : public RecordLoadTest,
                          public ::testing::WithParamInterface<BadRowsCase> {};

TEST_P(RecordBadRowsTest, LoadGoesOnAndKeepsTheRows) {
    const BadRowsCase& bad = GetParam();
    BuildConfiguration();
    expected.clear();
    for (const std::string& statement : bad.statements)
        Exec(statement);
    const std::string rows = DumpTables(*db);
    auto terminals = Reload();
    for (const std::string& what : bad.present)
        EXPECT_TRUE(Has(terminals, what)) << what;
    for (const std::string& what : bad.absent)
        EXPECT_FALSE(Has(terminals, what)) << what;
    // Rows may be added (dependants of a device written without them); none
    // may go or change.
    std::istringstream lines(rows);
    const std::string after = DumpTables(*db);
    for (std::string line; std::getline(lines, line);)
        EXPECT_NE(after.find(line + "\n"), std::string::npos) << "row lost: " << line;
    // Deleting everything that loaded must not trip over the left-out rows.
    for (auto& terminal : terminals)
        while (terminal->DeviceCount() > 0)
            terminal->DeleteDevice(terminal->DeviceAt(0));
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordBadRowsTest, ::testing::ValuesIn(kBadRows),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST_F(RecordLoadTest, PreloadedTablesGiveWhatRowByRowQueriesGive) {
    TORNU_SKIP_ON_SERVER("copies the file; stores text in an integer column");
    BuildConfiguration();
    expected.clear();
    for (const BadRowsCase& bad : kBadRows)
        for (const std::string& statement : bad.statements)
            db->Execute(statement); // some collide on purpose
    Exec("DELETE FROM device_param WHERE device_id=0 AND name='MODE'");
    Exec("DELETE FROM device_phone WHERE device_id=5 AND id<3");
    Exec("DELETE FROM device_key WHERE term_id=3 AND id=7");
    Exec("UPDATE device SET last_key=NULL, systemstate='x7' WHERE id=9");
    db.reset();
    oldDbs.clear();

    // By the file, through the driver, statement by statement: each on a copy.
    std::string described[3], tables[3];
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        test::TempDir copy;
        std::filesystem::copy_file(dir.Path() / CConfigDatabase::kFileName,
                                   copy.Path() / CConfigDatabase::kFileName);
        test::ScopedCwd inCopy(copy.Path());
        CConfigDatabase copyDb;
        EXPECT_TRUE(copyDb.IsConnected());
        std::vector<std::unique_ptr<CTerminal>> terminals;
        if (way == 2) {
            CStatementRowSource source(copyDb);
            EXPECT_TRUE(LoadConfiguration(source, copyDb, params, terminals));
        } else {
            EXPECT_TRUE(LoadConfiguration(copyDb, params, terminals,
                                          way == 0 ? TableAccess::Fastest : TableAccess::Driver));
        }
        // The dependants first, so that the rows they add are compared too.
        described[way] = Describe(terminals);
        tables[way] = DumpTables(copyDb);
    }
    for (int way : {0, 1}) {
        EXPECT_EQ(described[way], described[2]) << way;
        EXPECT_EQ(tables[way], tables[2]) << way;
    }
    EXPECT_NE(described[0].find("P MODE=0"), std::string::npos);
}

} // namespace
} // namespace tornu
