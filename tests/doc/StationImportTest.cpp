#include "DocTestFixture.h"

#include "import/OdbBuilder.h"
#include "import/OdbTable.h"
#include "import/StationImport.h"
#include "import/StationServer.h"
#include "settings/Encoding.h"

#include <cstdlib>
#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

class StationImportTest : public DocTest {
protected:
    void SetUp() override {
        Start();
        AddTerminal(5);
        AddTerminal(6);
    }
    void WriteTable(const std::string& folder, OdbBuilder builder) {
        WriteBytes(folder + "/terminal.odb", builder.Bytes());
    }
    std::vector<Strings> Terminals() {
        return Rows("SELECT id,phone,password FROM terminal ORDER BY id");
    }
};

} // namespace

TEST_F(StationImportTest, KnownTerminalsTakePhoneAndPasswordLaterRecordWins) {
    WriteTable(dir.Path().string(),
               StationLayout()
                   .Raw(StationRecord(5, "+7900111", "first"))
                   .Raw(StationRecord(99, "+7900999", "unknown"))
                   .Raw(StationRecord(5, "+7900222", Utf8ToCp1251("пар'оль"))));
    EXPECT_TRUE(doc->Editor().ImportStationData(dir.Path().string() + "/"));
    EXPECT_EQ(op.messages, Strings{"Импортированы данные по 2 устройствам"});
    EXPECT_EQ(Terminals(),
              (std::vector<Strings>{{"5", "+7900222", "пар'оль"}, {"6", "+7900", "link"}}));
}

TEST_F(StationImportTest, TablesThatGiveNothing) {
    // Header count 10, no room for a record; then the same file held open.
    WriteTable(dir.Path().string(), StationLayout().HeaderCount(10));
    EXPECT_TRUE(doc->Editor().ImportStationData(dir.Path().string()));
    COdbTable holder;
    ASSERT_TRUE(holder.Open(dir / "terminal.odb"));
    EXPECT_FALSE(doc->Editor().ImportStationData(dir.Path().string()));
    holder.Close();
    EXPECT_FALSE(doc->Editor().ImportStationData(dir / "missing"));
    EXPECT_EQ(op.messages,
              (Strings{"Импортированы данные по 0 устройствам",
                       kStationTableOpenFailedMessage + (dir / "terminal.odb"),
                       kStationTableOpenFailedMessage + (dir / "missing/terminal.odb")}));
    EXPECT_EQ(Terminals(), (std::vector<Strings>{{"5", "+7900", "link"}, {"6", "+7900", "link"}}));
}

TEST_F(StationImportTest, ImportCommandAsksForTheFolderUnlessTheServerRuns) {
    WriteTable(dir.Path().string(), StationLayout().Raw(StationRecord(6, "+7900666", "six")));
    const std::string lock = "TornuDocTest-" + std::to_string(getpid());
    EXPECT_FALSE(IsStationServerRunning(lock)); // and the probe leaves no semaphore behind
    sem_t* server = sem_open(("/" + lock).c_str(), O_CREAT | O_EXCL, 0600, 1);
    ASSERT_NE(server, SEM_FAILED);
    doc->Editor().OnImport(lock);
    sem_close(server);
    sem_unlink(("/" + lock).c_str());
    EXPECT_EQ(op.messages, Strings{kStationServerRunningMessage});
    EXPECT_TRUE(op.folderInitials.empty());

    setenv("TORNU_INSTALL_DIR", "/opt/Станция", 1);
    op.folders = {std::nullopt, dir.Path().string()};
    doc->Editor().OnImport(lock); // cancelled
    doc->Editor().OnImport(lock);
    unsetenv("TORNU_INSTALL_DIR");
    EXPECT_EQ(op.folderInitials, (Strings{"/opt/Станция", "/opt/Станция"}));
    EXPECT_EQ(op.messages.back(), "Импортированы данные по 1 устройствам");
    EXPECT_EQ(Terminals()[1], (Strings{"6", "+7900666", "six"}));
}
