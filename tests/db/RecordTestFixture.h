#pragma once
// A real configuration database in a fresh folder and a small catalogue, for
// the record tests.
#include "catalogue/BusDeviceType.h"
#include "catalogue/CommandDesc.h"
#include "catalogue/HostDeviceType.h"
#include "catalogue/ParamDesc.h"
#include "db/ConfigDatabase.h"
#include "db/ConfigurationLoader.h"
#include "db/Terminal.h"

#include "TestDatabase.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tornu::test {

// Built-in module at address 0, loop numbers 1 to 8, bus addresses 0 to 15.
inline constexpr const char* kHostWithModule =
    "NAME=БМ-4;DADDR=0;TSCNT=8;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=2;PLIST=DLYIN,MODE";
// No built-in module: the first network device gets address 0.
inline constexpr const char* kHostWithoutModule =
    "NAME=БМ-16;DADDR=-1;TSCNT=8;TDCNT=8;RS485=1;DSCNT=0;DMST=0;DSLV=0;TLN=0";
inline constexpr const char* kPartitionType =
    "NAME=Раздел-8;DSCNT=4;DMST=1;DSLV=0;TLN=2;PLIST=MODE,DLYIN,OBJNAME,AUTOARM,UBATMIN,NONE";
inline constexpr const char* kExpanderType =
    "NAME=Расширитель;DTYPE=S;DSCNT=2;DMST=0;DSLV=1;TLN=0;PLIST=TEMP";
inline constexpr const char* kRelayType = "NAME=Релейный;DTYPE=RK;DSCNT=1;DMST=0;DSLV=1;TLN=0";
inline constexpr const char* kBareType = "NAME=Пустой;DSCNT=0;DMST=1;DSLV=1;TLN=0";

inline const char* const kParamTexts[] = {
    "NAME=DLYIN;DESC=Задержка на вход;VTYPE=N;DTYPE=IO;DEFLT=30",
    "NAME=UBATMIN;DESC=Порог;VTYPE=F1;DTYPE=IO;DEFLT=110;IEXPR=VAL/10;OEXPR=VAL*10",
    "NAME=OBJNAME;DESC=Название объекта;VTYPE=S;DTYPE=IO;DEFLT=Объект",
    "NAME=AUTOARM;DESC=Автопостановка;VTYPE=B;DTYPE=IO;DEFLT=0",
    "NAME=MODE;DESC=Режим;VTYPE=L;DTYPE=O;LIST=Выкл,Вкл,Авто;DEFLT=0",
    "NAME=TEMP;DESC=Температура;VTYPE=F1;DTYPE=I;DEFLT=700;IEXPR=(VAL-500)/10",
};

inline CHostDeviceType HostType(const char* text) {
    CHostDeviceType type;
    EXPECT_TRUE(type.Read(text)) << text;
    return type;
}

inline CBusDeviceType BusType(const char* text) {
    CBusDeviceType type;
    EXPECT_TRUE(type.Read(text)) << text;
    return type;
}

inline ParamDescList MakeParams() {
    ParamDescList params;
    for (const char* text : kParamTexts) {
        auto desc = std::make_unique<CParamDesc>();
        EXPECT_TRUE(desc->Read(text)) << text;
        params.push_back(std::move(desc));
    }
    return params;
}

// A catalogue command of the data kind, as the exchange is given it.
inline CommandSpec Spec(const std::string& text, const char* output = nullptr) {
    CCommandDesc command;
    EXPECT_TRUE(command.Read("Cmd", "DESC=Команда;TYPE=D;" + text)) << text;
    if (output)
        command.SetFileName(kCommandFileOut, output);
    return command.Spec();
}

class RecordTest : public ::testing::Test {
protected:
    RecordTest() : cwd(dir.Path()), db(std::make_unique<CConfigDatabase>(dbSettings)) {}

    void SetUp() override { ASSERT_TRUE(db->IsConnected()) << db->LastError(); }

    std::unique_ptr<CTerminal> NewTerminal(int id, const char* hostType = kHostWithModule,
                                           int loopCount = 0) {
        return CTerminal::Create(db.get(), &params, id, "+70000000000", "pw", HostType(hostType),
                                 loopCount);
    }

    // Terminal 7: its module 0 ("p0"), partition 1 ("p1") with loops 1 and 2 of
    // types 1 and 0, and its expander 5 with loop 3 of type 16.
    std::unique_ptr<CTerminal> NewTerminal7() {
        auto terminal = NewTerminal(7);
        CDevice* part = terminal ? terminal->CreateDevice(1, BusType(kPartitionType)) : nullptr;
        CDevice* slave = part ? part->CreateSlave(5, BusType(kExpanderType)) : nullptr;
        EXPECT_TRUE(slave && terminal->FindDevice(0)->SetPassword("p0") &&
                    part->SetPassword("p1") && terminal->CreateLoop(*part, -1, 1) &&
                    terminal->CreateLoop(*part, -1, 0) && terminal->CreateLoop(*slave, -1, 16));
        return terminal;
    }

    // A fresh connection and a whole load, as at the next start.
    std::vector<std::unique_ptr<CTerminal>> Reload() {
        // Records made before keep their connection.
        oldDbs.push_back(std::move(db));
        db = std::make_unique<CConfigDatabase>(dbSettings);
        EXPECT_TRUE(db->IsConnected()) << db->LastError();
        std::vector<std::unique_ptr<CTerminal>> terminals;
        EXPECT_TRUE(LoadConfiguration(*db, params, terminals));
        return terminals;
    }

    int Count(const std::string& table, const std::string& where = "1=1") {
        std::vector<int> counts;
        EXPECT_TRUE(db->QueryInts("SELECT COUNT(*) FROM " + table + " WHERE " + where, counts))
            << db->LastError();
        return counts.empty() ? -1 : counts[0];
    }

    std::vector<std::vector<std::string>> Rows(const std::string& statement) {
        std::vector<std::vector<std::string>> rows;
        EXPECT_TRUE(db->Query(statement, rows)) << db->LastError() << "\n" << statement;
        return rows;
    }

    void Exec(const std::string& statement) {
        ASSERT_TRUE(db->Execute(statement)) << db->LastError() << "\n" << statement;
    }

    TempDir dir;
    ScopedCwd cwd;
    ParamDescList params = MakeParams();
    CIniFile dbSettings = FreshTestDatabaseSettings();
    std::unique_ptr<CConfigDatabase> db;
    std::vector<std::unique_ptr<CConfigDatabase>> oldDbs;
};

} // namespace tornu::test

namespace tornu::test {

// Everything the records hold in memory, one line a record, for comparing two
// loads.
inline std::string Describe(const std::vector<std::unique_ptr<CTerminal>>& terminals) {
    std::string text;
    auto line = [&](const std::string& s) { text += s + "\n"; };
    for (const auto& t : terminals) {
        line("T " + std::to_string(t->Id()) + " " + t->Phone() + " " + t->Password() + " " +
             t->Type().Name() + " [" + t->ReadConfiguration() + "]");
        for (const auto& d : t->Devices()) {
            std::string slaves;
            for (const CDevice* s : d->Slaves())
                slaves += std::to_string(s->Address()) + ",";
            line(" D " + std::to_string(d->Address()) + " " + d->Name() + "|" + d->Password() +
                 "|" + std::to_string(d->Master()) + "|" + std::to_string(d->LastKey()) + "|" +
                 std::to_string(d->SystemState()) + "|" + d->LastTime() + "|" + d->Type().Name() +
                 "|" + std::to_string(d->LoopCountSetting()) + " slaves " + slaves);
            for (const CSensor* s : d->Loops())
                line("  L " + std::to_string(s->Number()) + " " + std::to_string(s->State()) + " " +
                     std::to_string(s->Type()) + " " + std::string(s->Name()));
            for (const auto& p : d->Params())
                line("  P " + p->Name() + "=" + std::string(p->Value()));
            for (const auto& p : d->Phones())
                line("  F " + std::to_string(p->Number()) + " " + std::to_string(p->Type()) + " " +
                     std::to_string(p->Mask()) + " " + std::string(p->Phone()));
            for (const auto& k : d->Keys())
                line("  K " + std::to_string(k->Number()) + " " + std::string(k->Code()) + " " +
                     std::string(k->Owner()));
        }
        std::string loops;
        for (const auto& s : t->Loops())
            loops +=
                std::to_string(s->Number()) + "@" + std::to_string(s->Device().Address()) + ",";
        line(" loops " + loops);
    }
    return text;
}

} // namespace tornu::test
