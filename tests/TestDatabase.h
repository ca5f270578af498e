#pragma once
// The database suites run on SQLite, and a second time on a server when
// TORNU_TEST_CONNECT holds its ODBC connection string (scripts/pg-test.sh).
// On the server each test process works in a schema of its own, so suites run
// in parallel do not meet, and every test starts from empty tables.
#include "db/ConfigDatabase.h"
#include "db/OdbcConnection.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include <unistd.h>

namespace tornu::test {

inline std::string TestServer() {
    const char* connect = std::getenv("TORNU_TEST_CONNECT");
    return connect ? connect : "";
}

inline bool OnServer() {
    return !TestServer().empty();
}

inline const char* const kTableNames[] = {"terminal",     "device",       "sensor",
                                          "device_param", "device_phone", "device_key"};

// A text as an SQL literal for a fixture's own statements: between
// apostrophes, inner ones doubled. The program binds its values instead.
inline std::string SqlQuote(std::string_view text) {
    std::string literal = "'";
    for (char c : text)
        literal += c == '\'' ? std::string("''") : std::string(1, c);
    return literal + "'";
}

// Every row of the six tables, sorted.
inline std::string DumpTables(CConfigDatabase& db) {
    std::string text;
    for (const char* table : kTableNames) {
        std::vector<std::vector<std::string>> rows;
        EXPECT_TRUE(db.Query(std::string("SELECT * FROM ") + table + " ORDER BY 1,2,3,4", rows));
        text += std::string("[") + table + "]\n";
        for (const auto& row : rows) {
            for (const auto& column : row)
                text += column + "|";
            text += "\n";
        }
    }
    return text;
}

// The connection string of this process's schema on the server with its
// tables dropped; empty on SQLite.
inline std::string FreshServerDatabase() {
    const std::string server = TestServer();
    if (server.empty())
        return {};
    const std::string schema = std::string(1, 't').append(std::to_string(getpid()));
    COdbcConnection admin;
    EXPECT_TRUE(admin.Connect(server)) << admin.LastError();
    EXPECT_TRUE(admin.ExecDirect("CREATE SCHEMA IF NOT EXISTS " + schema)) << admin.LastError();
    for (const char* table : kTableNames)
        EXPECT_TRUE(admin.ExecDirect("DROP TABLE IF EXISTS " + schema + "." + table))
            << admin.LastError();
    for (const char* table : {"change_history", "pending_change"})
        EXPECT_TRUE(admin.ExecDirect("DROP TABLE IF EXISTS " + schema + "." + table))
            << admin.LastError();
    return server + ";ConnSettings=SET search_path TO " + schema;
}

// Program settings naming the test database: the server's, emptied, or none
// (the SQLite file in the current folder).
inline CIniFile FreshTestDatabaseSettings() {
    CIniFile settings;
    if (OnServer())
        settings.SetValue(CConfigDatabase::kSection, "Connect", FreshServerDatabase());
    return settings;
}

// The throw-away server's control, which scripts/pg-test.sh gives only to
// the tests it runs alone (their names hold "ServerRestart" or "ServerStopped").
inline bool CanRestartServer() {
    return OnServer() && std::getenv("TORNU_TEST_PG_CTL") && std::getenv("TORNU_TEST_PG_DATA");
}

// Stops the server (at once, as an administrator would) or starts it again;
// true when it is down or up.
inline bool StopServer(bool stop = true) {
    if (!CanRestartServer())
        return false;
    const std::string command = std::string(std::getenv("TORNU_TEST_PG_CTL")) + " -D '" +
                                std::getenv("TORNU_TEST_PG_DATA") + "' -w -t 30 " +
                                (stop ? "-m fast stop" : "start") + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

inline bool StartServer() {
    return StopServer(false);
}

} // namespace tornu::test

// For a test of what only SQLite shows (the file's bytes, its journal, its
// lock): `reason` says what.
#define TORNU_SKIP_ON_SERVER(reason)                                                               \
    do {                                                                                           \
        if (::tornu::test::OnServer())                                                             \
            GTEST_SKIP() << "SQLite only: " << (reason);                                           \
    } while (false)
