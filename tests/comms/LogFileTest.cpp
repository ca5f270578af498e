#include "comms/LogFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tornu;
using tornu::test::ReadBytes;
using tornu::test::ScopedCwd;
using tornu::test::TempDir;
using tornu::test::WriteBytes;

namespace {

std::tm FixedTime() {
    std::tm tm{};
    strptime("02.01.2024 03:05:07", "%d.%m.%Y %H:%M:%S", &tm);
    return tm;
}

const std::string kStamp = "[02.01.2024 03:05:07] - ";

} // namespace

TEST(LogFilePrintable, ControlCharactersByName) {
    EXPECT_EQ(CLogFile::Printable(std::string("\0\t\r\n\x1f ~\x7f\x80\xff", 10)),
              "<NUL><HT><CR><LF><US> ~\x7f\x80\xff");
}

TEST(LogFile, LineFormatAndAppend) {
    TempDir dir;
    WriteBytes(dir / "COM1_modem.log", "old\r\n");
    CLogFile log;
    log.SetTimeSource(FixedTime);
    ASSERT_TRUE(log.OpenIn({dir.Path()}, "COM1_modem.log"));
    log.Write("---------------OPEN--------------------");
    log.Printf("SEND COMMAND    - [%s]", CLogFile::Printable("at\r").c_str());
    // Flushed after every line: visible before the log is closed.
    const std::string written = ReadBytes(dir / "COM1_modem.log");
    EXPECT_EQ(written, "old\r\n" + kStamp + "---------------OPEN--------------------\r\n" + kStamp +
                           "SEND COMMAND    - [at<CR>]\r\n");
    // A long text is cut.
    const std::string text(CLogFile::kMaxText + 10, 'a');
    log.Printf("%s", text.c_str());
    log.Write(text);
    const std::string line = kStamp + std::string(CLogFile::kMaxText, 'a') + "\r\n";
    EXPECT_EQ(ReadBytes(dir / "COM1_modem.log"), written + line + line);
    log.Close();
    log.Write("after"); // ignored while closed
    EXPECT_EQ(ReadBytes(dir / "COM1_modem.log"), written + line + line);
}

TEST(LogFileFolder, FallsBackToTheNextFolder) {
    TempDir dir;
    WriteBytes(dir / "plain", "");
    CLogFile log;
    // A folder below a plain file can never be written.
    ASSERT_TRUE(log.OpenIn({dir.Path() / "plain" / "sub", dir.Path()}, "COM2_modem.log"));
    EXPECT_EQ(log.Path(), dir / "COM2_modem.log");
    CLogFile none;
    EXPECT_FALSE(none.OpenIn({dir.Path() / "plain" / "sub"}, "COM2_modem.log"));
    none.Write("ignored");
    CLogFile disabled;
    disabled.SetEnabled(false);
    EXPECT_FALSE(disabled.OpenIn({dir.Path()}, "x.log"));
    EXPECT_FALSE(std::filesystem::exists(dir / "x.log"));
}

// An installed program's folder cannot be written, and the log shows the
// numbers dialled: it goes to the working folder, for its owner alone unless
// it was given a mode of its own.
TEST(LogFileFolder, TheWorkingFolderAndTheOwnersMode) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    const mode_t umask = ::umask(022);
    const auto mode = [&] {
        struct stat st {};
        return ::stat((dir / "COM1_modem.log").c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
    };
    for (const unsigned expected : {0600u, 0640u}) {
        if (expected != 0600u) {
            ASSERT_EQ(::chmod((dir / "COM1_modem.log").c_str(), expected), 0);
        }
        CLogFile log;
        ASSERT_TRUE(log.Open("COM1_modem.log"));
        EXPECT_EQ(log.Path(), dir / "COM1_modem.log");
        log.Write("line");
        EXPECT_EQ(mode(), expected);
    }
    ::umask(umask);
}
