// Connection strings as operators write them: braced values, keys in any
// case, and what the program adds or hides before a driver or a message
// sees them.
#include "db/ConnectString.h"
#include "db/ConfigDatabase.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

TEST(ConnectString, PasswordsAreHiddenWhole) {
    const struct {
        const char* name;
        const char* connect;
        const char* masked;
    } cases[] = {
        {"plain", "DSN=x;UID=u;PWD=secret;Password=p2;pwd = q",
         "DSN=x;UID=u;PWD=***;Password=***;pwd =***"},
        {"braced", "Driver=PostgreSQL Unicode;PWD={Ab;Cd3f};Port=5432",
         "Driver=PostgreSQL Unicode;PWD=***;Port=5432"},
        {"braced last", "UID=u;PWD={Ab;Cd3f}", "UID=u;PWD=***"},
        {"doubled brace", "PWD={a}};b};UID=u", "PWD=***;UID=u"},
        {"unclosed brace", "PWD={a;b;UID=u", "PWD=***"},
        {"braced other value", "Database={x;PWD=y};UID=u", "Database={x;PWD=y};UID=u"},
        {"no password", "Driver=SQLite3;Database=/w/tornucfg.db",
         "Driver=SQLite3;Database=/w/tornucfg.db"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MaskConnectPasswords(c.connect), c.masked) << c.name;
    EXPECT_EQ(ConnectPasswords("PWD={a}};b};Password=x;pwd= "),
              (std::vector<std::string>{"a};b", "x"}));
}

TEST(ConnectString, ThePostgreSqlDriverLogsAreOffUnlessAsked) {
    const struct {
        const char* name;
        const char* connect;
        const char* sent;
    } cases[] = {
        {"driver", "Driver=PostgreSQL Unicode;Server=h",
         "Driver=PostgreSQL Unicode;Server=h;CommLog=0;Debug=0"},
        {"braced driver", "Driver={PostgreSQL ANSI};",
         "Driver={PostgreSQL ANSI};CommLog=0;Debug=0"},
        {"data source", "DSN=fleet", "DSN=fleet;CommLog=0;Debug=0"},
        {"asked for", "DSN=fleet;commlog=1;B2=1", "DSN=fleet;commlog=1;B2=1"},
        {"other driver", "Driver=SQLite3;Database=a.db", "Driver=SQLite3;Database=a.db"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithDriverLogsOff(c.connect), c.sent) << c.name;
}

TEST(ConnectString, TheSqliteFileIsNamedOnlyForThatDriver) {
    EXPECT_EQ(SqliteDatabaseFile("Driver=SQLite3;Database={/w/a;b.db};Timeout=5"), "/w/a;b.db");
    EXPECT_EQ(SqliteDatabaseFile("driver=/usr/lib/odbc/libsqlite3odbc.so;database=/w/a.db"),
              "/w/a.db");
    EXPECT_EQ(SqliteDatabaseFile("Driver=PostgreSQL Unicode;Database=tornucfg"), "");
    EXPECT_EQ(SqliteDatabaseFile("DSN=fleet;Database=a.db"), "");
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
