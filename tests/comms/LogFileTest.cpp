#include "comms/LogFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>

using namespace tornu;
using tornu::test::ReadBytes;
using tornu::test::TempDir;
using tornu::test::WriteBytes;

namespace {

std::tm FixedTime() {
    std::tm tm{};
    tm.tm_mday = 2;
    tm.tm_mon = 0;
    tm.tm_year = 124;
    tm.tm_hour = 3;
    tm.tm_min = 5;
    tm.tm_sec = 7;
    return tm;
}

const std::string kStamp = "[02.01.2024 03:05:07] - ";

} // namespace

TEST(LogFilePrintable, ControlCharactersByName) {
    std::string all;
    for (int c = 0; c < 32; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(CLogFile::Printable(all),
              "<NUL><SOH><STX><ETX><EOT><ENQ><ACK><BEL><BS><HT><LF><VT><FF><CR><SO><SI>"
              "<DLE><DC1><DC2><DC3><DC4><NAK><SYN><ETB><CAN><EM><SUB><ESC><FS><GS><RS><US>");
    EXPECT_EQ(CLogFile::Printable(" ~\x7f\x80\xc0\xff"), " ~\x7f\x80\xc0\xff");
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
    log.Close();
    log.Write("after"); // ignored while closed
    EXPECT_EQ(ReadBytes(dir / "COM1_modem.log"), written);
}

TEST(LogFile, LongTextIsCut) {
    TempDir dir;
    CLogFile log;
    log.SetTimeSource(FixedTime);
    ASSERT_TRUE(log.OpenIn({dir.Path()}, "x.log"));
    std::string text(CLogFile::kMaxText + 10, 'a');
    log.Printf("%s", text.c_str());
    log.Write(text);
    std::string line = kStamp + std::string(CLogFile::kMaxText, 'a') + "\r\n";
    EXPECT_EQ(ReadBytes(dir / "x.log"), line + line);
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

TEST(LogFileFolder, DefaultIsTheProgramFolder) {
    std::filesystem::path folder = CLogFile::ProgramFolder();
    ASSERT_TRUE(std::filesystem::is_directory(folder));
    std::string name = "logfiletest_" + std::to_string(::getpid()) + "_modem.log";
    CLogFile log;
    ASSERT_TRUE(log.Open(name));
    EXPECT_EQ(log.Path(), (folder / name).string());
    log.Close();
    std::filesystem::remove(folder / name);
}

TEST(LogFile, LinesFromTwoThreadsDoNotMix) {
    TempDir dir;
    CLogFile log;
    ASSERT_TRUE(log.OpenIn({dir.Path()}, "x.log"));
    constexpr int kLines = 500;
    auto writer = [&log](char mark) {
        for (int i = 0; i < kLines; ++i)
            log.Printf("%c line %d", mark, i);
    };
    std::thread reader(writer, 'R');
    writer('W');
    reader.join();
    log.Close();

    std::istringstream in(ReadBytes(dir / "x.log"));
    const std::regex pattern(R"(\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\] - [RW] line \d+\r)");
    int count = 0;
    for (std::string line; std::getline(in, line); ++count)
        EXPECT_TRUE(std::regex_match(line, pattern)) << line;
    EXPECT_EQ(count, 2 * kLines);
}
