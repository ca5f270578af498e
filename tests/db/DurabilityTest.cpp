// A process killed in the middle of a series of changes must leave a database
// that opens and holds every change whose call had returned.
#include "db/ConfigDatabase.h"

#include "TestDatabase.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace tornu {
namespace {

using test::ScopedCwd;
using test::TempDir;

// Child: inserts loops 1, 2, ... above `base` and moves the terminal's text
// along, reporting each step on `report` once both statements returned.
[[noreturn]] void WriteUntilKilled(int report, int base) {
    CConfigDatabase db;
    if (!db.IsConnected())
        _exit(2);
    for (int step = 1;; ++step) {
        const int id = base + step;
        if (!db.Execute(CConfigDatabase::Format(
                "INSERT INTO sensor VALUES(1,0,%d,0,0,%s)", id,
                tornu::test::SqlQuote("Шлейф " + std::to_string(id)).c_str())) ||
            !db.Execute(
                CConfigDatabase::Format("UPDATE terminal SET term_config='%d' WHERE id=1", id)))
            _exit(3);
        if (write(report, &id, sizeof id) != sizeof id)
            _exit(4);
    }
}

// Runs a writer child, kills it after `reports` steps and returns every step
// it reported.
std::vector<int> KillWriterAfter(int reports, int base) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        WriteUntilKilled(fds[1], base);
    }
    close(fds[1]);
    std::vector<int> reported;
    int id = 0;
    while (static_cast<int>(reported.size()) < reports && read(fds[0], &id, sizeof id) == sizeof id)
        reported.push_back(id);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "child ended on its own, status " << status;
    // Steps reported between the last read and the kill.
    while (read(fds[0], &id, sizeof id) == sizeof id)
        reported.push_back(id);
    close(fds[0]);
    return reported;
}

TEST(Durability, EveryReturnedChangeSurvivesAKill) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    {
        CConfigDatabase db;
        ASSERT_TRUE(db.IsConnected()) << db.LastError();
        ASSERT_TRUE(db.Execute("INSERT INTO terminal VALUES(1,'','','','0')"));
    }
    int base = 0;
    for (int reports : {1, 150, 700}) {
        SCOPED_TRACE(reports);
        std::vector<int> reported = KillWriterAfter(reports, base);
        ASSERT_GE(static_cast<int>(reported.size()), reports);

        CConfigDatabase db;
        ASSERT_TRUE(db.IsConnected()) << db.LastError();
        std::vector<std::vector<std::string>> check;
        ASSERT_TRUE(db.Query("PRAGMA integrity_check", check)) << db.LastError();
        EXPECT_EQ(check, (std::vector<std::vector<std::string>>{{"ok"}}));
        std::vector<int> stored;
        ASSERT_TRUE(db.QueryInts(
            CConfigDatabase::Format("SELECT id FROM sensor WHERE id>%d ORDER BY id", base),
            stored));
        std::set<int> present(stored.begin(), stored.end());
        for (int id : reported)
            ASSERT_TRUE(present.count(id)) << "lost loop " << id;
        ASSERT_TRUE(db.Execute("SELECT term_config,name FROM terminal, sensor WHERE terminal.id=1 "
                               "AND sensor.id=" +
                               std::to_string(reported.back())));
        ASSERT_TRUE(db.Fetch());
        EXPECT_GE(db.ColumnInt(0), reported.back());
        EXPECT_EQ(db.Column(1), "Шлейф " + std::to_string(reported.back()));
        base = stored.empty() ? base : stored.back();
    }
}

} // namespace
} // namespace tornu
