// A process killed at any statement of a reply or of a multi-row operation
// leaves the rows as they were before it or as they are after it, never a mix.
#include "RecordTestFixture.h"

#include "db/DbTransaction.h"
#include "protocol/CommandSet.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace tornu {
namespace {

namespace fs = std::filesystem;
using test::BusType;
using test::Spec;

// As the exchange applies a device's reply.
void ApplyDeviceReply(CDevice& device, const std::string& command, const std::string& data) {
    if (auto value = ReadDeviceReply(device.Snapshot(), Spec(command), CTermMessage(7, 1, data)))
        static_cast<void>(device.ApplyReply(*value, 1700000000)); // the rows tell
}

// A phone book with every entry of generation `g`.
std::string PhoneBookReply(const CDevice& device, int g) {
    std::string lists[3];
    for (const auto& phone : device.Phones()) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "79%07d%03d%06X,", g, phone->Number(), g);
        lists[phone->Type()] += entry;
    }
    return "SMS=" + lists[0] + ";DIA=" + lists[1] + ";DAT=" + lists[2] + ";";
}

std::string StatusReply(int g) {
    return "DLYIN=" + std::to_string(g) + ";UBATMIN=" + std::to_string(100 + g) +
           ";OBJNAME=Объект " + std::to_string(g) + ";SYS=" + (g % 2 ? "1011" : "0100") +
           ";KEY=" + std::to_string(g) + ";SHL=001" + std::to_string(g % 10) + "002" +
           std::to_string(g % 10) + "003" + std::to_string(g % 10) + ";";
}

using Operation = std::function<void(CTerminal&)>;

class ReplyTransactionTest : public test::RecordTest {
protected:
    // Terminal 7 as NewTerminal7 makes it.
    void SetUp() override {
        TORNU_SKIP_ON_SERVER("kills a process and restores the file");
        RecordTest::SetUp();
        ASSERT_TRUE(NewTerminal7());
        db.reset();
        fs::copy_file("tornucfg.db", "before.db");
    }

    // The database as it was after SetUp, with no other connection open.
    void Restore() {
        db.reset();
        for (const char* extra : {"tornucfg.db-wal", "tornucfg.db-shm"})
            fs::remove(extra);
        fs::copy_file("before.db", "tornucfg.db", fs::copy_options::overwrite_existing);
    }

    // Runs `operation` in a child on a fresh load, killed just before its
    // statement number `killAt` (0: never). True when it was killed.
    bool RunChild(const Operation& operation, int killAt) {
        Restore();
        const pid_t child = fork();
        if (child == 0) {
            CConfigDatabase childDb;
            std::vector<std::unique_ptr<CTerminal>> terminals;
            if (!LoadConfiguration(childDb, params, terminals) || terminals.empty())
                _exit(3);
            int statements = 0;
            childDb.Connection().SetTrace([&](const std::string&) {
                if (++statements == killAt)
                    raise(SIGKILL);
            });
            operation(*terminals.front());
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0) << status;
        return WIFSIGNALED(status);
    }

    std::string Dump() {
        db = std::make_unique<CConfigDatabase>();
        return test::DumpTables(*db);
    }

    // Kills the operation at each of its statements in turn; returns how many
    // kill points were tried.
    int KillAtEveryStatement(const Operation& operation) {
        Restore();
        const std::string before = Dump();
        EXPECT_FALSE(RunChild(operation, 0));
        const std::string after = Dump();
        EXPECT_NE(before, after) << "the operation changed nothing";
        int point = 1;
        for (; RunChild(operation, point); ++point) {
            const std::string found = Dump();
            if (found != before && found != after)
                ADD_FAILURE() << "half applied when killed at statement " << point << ":\n"
                              << found;
        }
        EXPECT_EQ(Dump(), after) << "the run that was not killed";
        return point - 1;
    }
};

TEST_F(ReplyTransactionTest, RepliesLandWholeOrNotAtAll) {
    const struct {
        const char* name;
        Operation operation;
    } cases[] = {
        {"phone book",
         [&](CTerminal& t) {
             CDevice& part = *t.FindDevice(1);
             ApplyDeviceReply(part, "NUM=23", PhoneBookReply(part, 5));
         }},
        {"status",
         [&](CTerminal& t) { ApplyDeviceReply(*t.FindDevice(1), "NUM=16", StatusReply(3)); }},
        {"loop configuration",
         [&](CTerminal& t) {
             if (auto value = ReadTerminalReply(
                     Spec("NUM=39"), CTermMessage(7, 39, "CFG=01,00000000,0A0000000000000000;")))
                 static_cast<void>(t.ApplyReply(*value));
         }},
        {"terminal created",
         [&](CTerminal& t) {
             CTerminal::Create(t.Database(), &params, 8, "+7", "pw",
                               test::HostType(test::kHostWithModule), 2);
         }},
        {"device created", [&](CTerminal& t) { t.CreateDevice(2, BusType(test::kPartitionType)); }},
        {"device deleted", [&](CTerminal& t) { t.DeleteDevice(t.FindDevice(1)); }},
        {"terminal deleted", [&](CTerminal& t) { t.DeleteRows(); }},
        {"loop count changed and loops distributed, one guard",
         [&](CTerminal& t) {
             CDbTransaction guard(t.Database());
             t.FindDevice(1)->SetLoopCount(1);
             t.DistributeLoops();
         }},
    };
    int points = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int tried = KillAtEveryStatement(c.operation);
        EXPECT_GE(tried, 1);
        points += tried;
    }
    std::printf("kill points tried: %d\n", points);
}

TEST_F(ReplyTransactionTest, RowsAddedAtTheFirstReadLandWholeOrNotAtAll) {
    db = std::make_unique<CConfigDatabase>();
    ASSERT_TRUE(db->Execute("DELETE FROM device_param WHERE term_id=7"));
    ASSERT_TRUE(db->Execute("DELETE FROM device_key WHERE term_id=7 AND device_id=5"));
    db.reset();
    fs::copy_file("tornucfg.db", "before.db", fs::copy_options::overwrite_existing);
    const int tried = KillAtEveryStatement([](CTerminal& t) { t.FindDevice(1)->Params(); });
    EXPECT_GE(tried, 5); // the four reads, the terminal's check and each row added
}

TEST_F(ReplyTransactionTest, NestedGuardsCommitOnlyAtTheOutermost) {
    db = std::make_unique<CConfigDatabase>();
    {
        CDbTransaction outer(db.get());
        {
            CDbTransaction inner(db.get());
            ASSERT_TRUE(db->Execute("UPDATE terminal SET phone='1' WHERE id=7"));
        }
        EXPECT_EQ(db->TransactionDepth(), 1);
        ASSERT_TRUE(db->Execute("UPDATE terminal SET phone='2' WHERE id=7"));
        EXPECT_TRUE(outer.End(false));
    }
    EXPECT_EQ(db->TransactionDepth(), 0);
    EXPECT_EQ(Rows("SELECT phone FROM terminal"),
              (std::vector<std::vector<std::string>>{{"+70000000000"}}));
    {
        CDbTransaction outer(db.get());
        ASSERT_TRUE(db->Execute("UPDATE terminal SET phone='3' WHERE id=7"));
    }
    EXPECT_EQ(Rows("SELECT phone FROM terminal"), (std::vector<std::vector<std::string>>{{"3"}}));
}

} // namespace
} // namespace tornu
