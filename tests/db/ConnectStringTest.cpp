// Connection strings as operators write them: braced values, keys in any
// case, and what the program adds or hides before a driver or a message
// sees them.
#include "db/ConnectString.h"
#include "db/ConfigDatabase.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

// Passwords hidden whole; the PostgreSQL driver's logs off unless asked for.
TEST(ConnectString, PasswordsAreHiddenWholeAndDriverLogsOffUnlessAsked) {
    const struct {
        const char* name;
        std::string (*change)(std::string_view);
        const char* connect;
        const char* changed;
    } cases[] = {
        {"plain", MaskConnectPasswords, "DSN=x;UID=u;PWD=secret;Password=p2;pwd = q",
         "DSN=x;UID=u;PWD=***;Password=***;pwd =***"},
        {"braced", MaskConnectPasswords, "Driver=PostgreSQL Unicode;PWD={Ab;Cd3f};Port=5432",
         "Driver=PostgreSQL Unicode;PWD=***;Port=5432"},
        {"braced last", MaskConnectPasswords, "UID=u;PWD={Ab;Cd3f}", "UID=u;PWD=***"},
        {"doubled brace", MaskConnectPasswords, "PWD={a}};b};UID=u", "PWD=***;UID=u"},
        {"unclosed brace", MaskConnectPasswords, "PWD={a;b;UID=u", "PWD=***"},
        {"braced other value", MaskConnectPasswords, "Database={x;PWD=y};UID=u",
         "Database={x;PWD=y};UID=u"},
        {"no password", MaskConnectPasswords, "Driver=SQLite3;Database=/w/tornucfg.db",
         "Driver=SQLite3;Database=/w/tornucfg.db"},
        {"driver", WithDriverLogsOff, "Driver=PostgreSQL Unicode;Server=h",
         "Driver=PostgreSQL Unicode;Server=h;CommLog=0;Debug=0"},
        {"braced driver", WithDriverLogsOff, "Driver={PostgreSQL ANSI};",
         "Driver={PostgreSQL ANSI};CommLog=0;Debug=0"},
        {"data source", WithDriverLogsOff, "DSN=fleet", "DSN=fleet;CommLog=0;Debug=0"},
        {"asked for", WithDriverLogsOff, "DSN=fleet;commlog=1;B2=1", "DSN=fleet;commlog=1;B2=1"},
        {"other driver", WithDriverLogsOff, "Driver=SQLite3;Database=a.db",
         "Driver=SQLite3;Database=a.db"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.change(c.connect), c.changed) << c.name;
    EXPECT_EQ(ConnectPasswords("PWD={a}};b};Password=x;pwd= "),
              (std::vector<std::string>{"a};b", "x"}));
}

TEST(ConnectString, TheSqliteFileIsNamedOnlyForThatDriver) {
    EXPECT_EQ(SqliteDatabaseFile("Driver=SQLite3;Database={/w/a;b.db};Timeout=5"), "/w/a;b.db");
    EXPECT_EQ(SqliteDatabaseFile("driver=/usr/lib/odbc/libsqlite3odbc.so;database=/w/a.db"),
              "/w/a.db");
    EXPECT_EQ(SqliteDatabaseFile("Driver=PostgreSQL Unicode;Database=tornucfg"), "");
    EXPECT_EQ(SqliteDatabaseFile("DSN=fleet;Database=a.db"), "");
}

// The server's own library is given only what it follows as the driver does.
TEST(ConnectString, ServerParamsOnlyWhenTheLibraryFollowsEveryKey) {
    const auto server = PostgresParams(
        "Driver={PostgreSQL Unicode};Server=db.local;Port=5433;Database=fleet;UID=op;"
        "PWD={a;b}}c};uid=other;CommLog=0;ConnSettings={SET search_path TO t1}");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->params, (std::vector<std::pair<std::string, std::string>>{
                                  {"host", "db.local"}, {"port", "5433"}, {"dbname", "fleet"},
                                  {"user", "op"}, {"password", "a;b}c"}}));
    EXPECT_EQ(server->settings, "SET search_path TO t1");
    EXPECT_FALSE(PostgresParams("Driver=PostgreSQL Unicode;Server=h;UseDeclareFetch=1"));
    EXPECT_FALSE(PostgresParams("DSN=fleet;Server=h"));
}

// The failure names the string it could not connect with, and neither it nor
// the driver's text gives the password away.
TEST(ConnectString, AFailureDoesNotShowThePassword) {
    CIniFile program;
    program.SetValue(CConfigDatabase::kSection, "Connect",
                     "Driver=NoSuchDriver;UID=u;PWD={Ab;Cd3f}");
    CConfigDatabase db(program);
    ASSERT_FALSE(db.IsAvailable());
    EXPECT_NE(db.Failure().find("PWD=***"), std::string::npos) << db.Failure();
    EXPECT_EQ(db.Failure().find("Cd3f"), std::string::npos) << db.Failure();
}

} // namespace
} // namespace tornu
