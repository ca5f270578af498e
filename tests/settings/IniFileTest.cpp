#include "settings/IniFile.h"

#include "TestUtil.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tornu;
using tornu::test::ReadBytes;
using tornu::test::ScopedCwd;
using tornu::test::TempDir;
using tornu::test::WriteBytes;
namespace fs = std::filesystem;

namespace {

CIniFile Parse(const std::string& bytes) {
    CIniFile ini;
    ini.LoadFromBytes(bytes);
    return ini;
}

std::string Value(CIniFile& ini, const std::string& section, const std::string& key) {
    std::string value = "<absent>";
    ini.GetValue(section, key, value);
    return value;
}

std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder made current for one test.
struct InFolder {
    TempDir dir;
    ScopedCwd cwd{dir.Path()};
};

} // namespace

TEST(IniFileRead, LinesSectionsAndKeys) {
    CIniFile ini = Parse("before=dropped\r\n"
                         "[  Main  ]\r\n"
                         "  key  =  a=b  \r\n" // split at the first "=", both sides trimmed
                         "\tnoequals\t\r\n"
                         "=skipped\r\n"
                         "[Broken\r\n" // no "]": skipped, entries stay in Main
                         ";comment\r\n"
                         "key=second\r\n" // replaces in place
                         "[ ]\r\n"
                         "[B]\r\ny=2\r\n"
                         "[Main]\r\nkey=9\r\nz=3\r\n"); // a repeated section is dropped
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.Sections()[0].name, "Main");
    EXPECT_EQ(ini.CountEntries("Main"), 2);
    EXPECT_EQ(Value(ini, "Main", "key"), "second");
    EXPECT_EQ(Value(ini, "Main", "noequals"), "");
    for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>>{
             {"Main", "before"}, {"Main", "z"}, {"main", "key"}, {"Main", "Key"}, {"Main", "key "}})
        EXPECT_EQ(Value(ini, section, key), "<absent>") << section << "/" << key;
    std::string key, value;
    ASSERT_TRUE(ini.GetEntry("Main", 1, key, value)); // the comment is not counted
    EXPECT_EQ(key + "=" + value, "noequals=");
    EXPECT_FALSE(ini.GetEntry("Main", 2, key, value));
    EXPECT_FALSE(ini.GetEntry("Main", -1, key, value));
    EXPECT_FALSE(ini.GetEntry("T", 0, key, value));
}

TEST(IniFileRead, LineEndsAndEncodings) {
    CIniFile lines = Parse("[S]\r\na=1\r\r\nb=x\ry\r");
    EXPECT_EQ(Value(lines, "S", "b"), "x\ry"); // a lone CR stays in the line
    const struct {
        std::string bytes;
        CIniFile::FileEncoding encoding;
        bool mark;
        const char* value;
    } cases[] = {
        {"[S]\r\nk=\xCF\xE0\xF0\xEE\xEB\xFC\r\n", CIniFile::FileEncoding::Cp1251, false, "Пароль"},
        {"[S]\r\nk=Пароль\r\n", CIniFile::FileEncoding::Utf8, false, "Пароль"},
        {"\xEF\xBB\xBF[S]\r\nk=Пароль\r\n", CIniFile::FileEncoding::Utf8, true, "Пароль"},
        // One stray byte makes the whole file Windows-1251.
        {"[S]\r\nk=\xD0\xB0\r\nz=\xE0\r\n", CIniFile::FileEncoding::Cp1251, false, "Р°"},
    };
    for (const auto& c : cases) {
        CIniFile ini = Parse(c.bytes);
        EXPECT_EQ(ini.Encoding(), c.encoding) << c.value;
        EXPECT_EQ(ini.HasByteOrderMark(), c.mark) << c.value;
        EXPECT_EQ(Value(ini, "S", "k"), c.value);
    }
}

TEST(IniFileWrite, KeepsTheEncodingTheFileWasReadIn) {
    for (const char* bytes :
         {"[\xD1\xE5\xEA\xF6\xE8\xFF]\r\nk=\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n\r\n",
          "[Секция]\r\nk=значение\r\n\r\n", "\xEF\xBB\xBF[Секция]\r\nk=значение\r\n\r\n"}) {
        InFolder f;
        WriteBytes(f.dir / "s.ini", bytes);
        CIniFile ini;
        ASSERT_TRUE(ini.Load("s.ini"));
        EXPECT_EQ(Value(ini, "Секция", "k"), "значение");
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(ReadBytes(f.dir / "s.ini"), bytes);
    }
    // A new file is Windows-1251 ...
    InFolder f;
    CIniFile ini;
    EXPECT_FALSE(ini.Load("new.ini"));
    ASSERT_TRUE(ini.SetValue("Main", "Имя", "Ёлка"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadBytes(f.dir / "new.ini"), "[Main]\r\n\xC8\xEC\xFF=\xA8\xEB\xEA\xE0\r\n\r\n");
}

// ... unless the code page cannot give a text back: then UTF-8 with a mark.
TEST(IniFileWrite, TextTheCodePageCannotKeepIsWrittenAsUtf8) {
    // "Д«" is C4 AB in Windows-1251, which reads as U+012B in UTF-8.
    for (const char* value : {"/home/оператор/✓.bin", "Д«"}) {
        InFolder f;
        CIniFile ini("s.ini");
        ASSERT_TRUE(ini.SetValue("Files", "Out", value));
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(ini.Encoding(), CIniFile::FileEncoding::Utf8) << value;
        EXPECT_EQ(ReadBytes(f.dir / "s.ini"),
                  std::string("\xEF\xBB\xBF[Files]\r\nOut=") + value + "\r\n\r\n");
        CIniFile back;
        ASSERT_TRUE(back.Load("s.ini"));
        EXPECT_EQ(Value(back, "Files", "Out"), value);
    }
}

TEST(IniFileSave, KeepsPermissionsAndLinks) {
    InFolder f;
    WriteBytes(f.dir / "real.ini", "[S]\r\nk=1\r\n");
    ::chmod((f.dir / "real.ini").c_str(), 0640);
    fs::create_symlink("real.ini", f.dir / "link.ini");
    CIniFile ini;
    ASSERT_TRUE(ini.Load("link.ini"));
    ASSERT_TRUE(ini.SetValue("S", "k", "2"));
    ASSERT_TRUE(ini.Save());
    EXPECT_TRUE(fs::is_symlink(f.dir / "link.ini"));
    EXPECT_EQ(ReadBytes(f.dir / "real.ini"), "[S]\r\nk=2\r\n\r\n");
    struct stat st {};
    ASSERT_EQ(::stat((f.dir / "real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(FilesIn(f.dir.Path()), (std::vector<std::string>{"link.ini", "real.ini"}));
}

TEST(IniFileSave, FailuresLeaveNoTemporaryFile) {
    CIniFile unnamed;
    ASSERT_TRUE(unnamed.SetValue("S", "k", "v"));
    EXPECT_FALSE(unnamed.Save());

    InFolder f;
    CIniFile missing;
    EXPECT_FALSE(missing.Load("missing/s.ini"));
    ASSERT_TRUE(missing.SetValue("S", "k", "v"));
    EXPECT_FALSE(missing.Save());

    fs::create_directory(f.dir / "s.ini"); // the rename fails
    WriteBytes(f.dir / "s.ini/keep", "x");
    CIniFile folder("s.ini");
    ASSERT_TRUE(folder.SetValue("S", "k", "v"));
    EXPECT_FALSE(folder.Save());
    EXPECT_EQ(FilesIn(f.dir.Path()), std::vector<std::string>{"s.ini"});
    EXPECT_EQ(ReadBytes(f.dir / "s.ini/keep"), "x");
}

// A save that fails half way (here: the file size limit), or on a file the
// operator made read-only, says why and leaves the old file and no other.
TEST(IniFileSave, AFailedSaveLeavesTheOldFileIntact) {
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "size limit");
        InFolder f;
        const std::string old = "[S]\r\nk=old\r\n";
        WriteBytes(f.dir / "s.ini", old);
        CIniFile ini;
        ASSERT_TRUE(ini.Load("s.ini"));
        ASSERT_TRUE(ini.SetValue("S", "k", std::string(100000, 'x')));
        ASSERT_EQ(::chmod((f.dir / "s.ini").c_str(), readOnly ? 0444 : 0644), 0);

        auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit limited = previous;
        if (!readOnly)
            limited.rlim_cur = 4096;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const CResult refused = ini.Save();
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);

        EXPECT_FALSE(refused);
        EXPECT_FALSE(refused.Error().empty());
        EXPECT_EQ(ReadBytes(f.dir / "s.ini"), old);
        EXPECT_EQ(FilesIn(f.dir.Path()), std::vector<std::string>{"s.ini"});
        ASSERT_EQ(::chmod((f.dir / "s.ini").c_str(), 0644), 0);
        EXPECT_TRUE(ini.Save()) << "once the cause is gone";
    }
}

TEST(IniFileOps, SetValueAddSectionCopyAndClear) {
    CIniFile ini;
    EXPECT_FALSE(ini.SetValue("", "k", "v"));
    EXPECT_FALSE(ini.SetValue("S", "", "v"));
    // Anything that would read back differently, or break the file's lines, is refused.
    for (const auto& [section, key, value] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"S", "k", "line\r\n[Main]\r\nPassword="},
             {"S\n", "k", "v"},
             {" S", "k", "v"},
             {"S", "[k", "v"},
             {"S", "a=b", "v"},
             {"S", ";k", "v"}})
        EXPECT_FALSE(ini.SetValue(section, key, value)) << section << "/" << key;
    EXPECT_TRUE(ini.Sections().empty());
    ASSERT_TRUE(ini.SetValue("S", "k", "1"));
    ASSERT_TRUE(ini.SetValue("S", ";", "note"));
    ASSERT_TRUE(ini.SetValue("S", ";", "note"));
    ASSERT_TRUE(ini.SetValue("T", "a", "2"));
    ASSERT_TRUE(ini.SetValue("S", "k", "3"));
    EXPECT_FALSE(ini.AddSection("T"));
    EXPECT_FALSE(ini.AddSection(""));
    EXPECT_TRUE(ini.AddSection("t"));
    EXPECT_EQ(ini.ToBytes(), "[S]\r\nk=3\r\n;note\r\n;note\r\n\r\n[T]\r\na=2\r\n\r\n[t]\r\n\r\n");
    EXPECT_TRUE(ini.SetValue("S]", "k]", "a\rb=c;[d]"));
    EXPECT_EQ(Parse(ini.ToBytes()).Sections(), ini.Sections());
    CIniFile copy = Parse("[Old]\r\nz=0\r\n");
    copy.CopyFrom(ini);
    EXPECT_EQ(copy.CountEntries("Old") + copy.CountEntries("t"),
              -2); // empty sections are not copied
}
