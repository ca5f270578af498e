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

} // namespace

// ---- Reading ----------------------------------------------------------------

TEST(IniFileRead, KeySplitsAtTheFirstEqualsSignAndBothSidesAreTrimmed) {
    CIniFile ini = Parse("[S]\r\n  key  =  a=b  \r\n\tnoequals\t\r\n=skipped\r\n");
    EXPECT_EQ(Value(ini, "S", "key"), "a=b");
    EXPECT_EQ(Value(ini, "S", "noequals"), "");
    EXPECT_EQ(ini.CountEntries("S"), 2);
}

TEST(IniFileRead, SectionHeaders) {
    CIniFile ini = Parse("before=dropped\r\n"
                         "[  Main  ]\r\n"
                         "a=1\r\n"
                         "[Broken\r\n" // no "]": skipped, entries stay in Main
                         "b=2\r\n"
                         "[ ]\r\n" // empty name: skipped
                         "c=3\r\n");
    ASSERT_EQ(ini.Sections().size(), 1u);
    EXPECT_EQ(ini.Sections()[0].name, "Main");
    EXPECT_EQ(ini.CountEntries("Main"), 3);
    EXPECT_EQ(Value(ini, "Main", "before"), "<absent>");
}

TEST(IniFileRead, RepeatedSectionIsDroppedWithItsLines) {
    CIniFile ini = Parse("[A]\r\nx=1\r\n[B]\r\ny=2\r\n[A]\r\nx=9\r\nz=3\r\n[C]\r\nw=4\r\n");
    ASSERT_EQ(ini.Sections().size(), 3u);
    EXPECT_EQ(Value(ini, "A", "x"), "1");
    EXPECT_EQ(Value(ini, "A", "z"), "<absent>");
    EXPECT_EQ(Value(ini, "C", "w"), "4");
}

TEST(IniFileRead, RepeatedKeyReplacesInPlace) {
    CIniFile ini = Parse("[S]\r\nk=first\r\nm=2\r\nk=second\r\n");
    EXPECT_EQ(ini.CountEntries("S"), 2);
    std::string key, value;
    ASSERT_TRUE(ini.GetEntry("S", 0, key, value));
    EXPECT_EQ(key, "k");
    EXPECT_EQ(value, "second");
}

TEST(IniFileRead, LookupsAreExactAndCaseSensitive) {
    CIniFile ini = Parse("[Main]\r\nPassword=abc\r\n");
    EXPECT_EQ(Value(ini, "Main", "Password"), "abc");
    EXPECT_EQ(Value(ini, "main", "Password"), "<absent>");
    EXPECT_EQ(Value(ini, "Main", "password"), "<absent>");
    EXPECT_EQ(Value(ini, "Main", "Password "), "<absent>");
}

TEST(IniFileRead, LineEnds) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"crlf", "[S]\r\na=1\r\nb=x\ry\r\n"},
        {"lf only", "[S]\na=1\nb=x\ry\n"},
        {"mixed", "[S]\na=1\r\nb=x\ry\n"},
        {"last line unended", "[S]\r\na=1\r\nb=x\ry"},
        {"trailing cr trimmed", "[S]\r\na=1\r\r\nb=x\ry\r"},
    };
    for (const Case& c : cases) {
        CIniFile ini = Parse(c.bytes);
        EXPECT_EQ(Value(ini, "S", "a"), "1") << c.name;
        EXPECT_EQ(Value(ini, "S", "b"), "x\ry") << c.name; // a lone CR stays in the line
        EXPECT_EQ(ini.CountEntries("S"), 2) << c.name;
    }
}

TEST(IniFileRead, Encodings) {
    struct Case {
        const char* name;
        std::string bytes;
        CIniFile::FileEncoding encoding;
        bool mark;
        const char* value;
    };
    const Case cases[] = {
        {"windows-1251", "[S]\r\nk=\xCF\xE0\xF0\xEE\xEB\xFC\r\n", CIniFile::FileEncoding::Cp1251,
         false, "Пароль"},
        {"utf-8", "[S]\r\nk=Пароль\r\n", CIniFile::FileEncoding::Utf8, false, "Пароль"},
        {"utf-8 with mark", "\xEF\xBB\xBF[S]\r\nk=Пароль\r\n", CIniFile::FileEncoding::Utf8, true,
         "Пароль"},
        {"ascii", "[S]\r\nk=v\r\n", CIniFile::FileEncoding::Cp1251, false, "v"},
        // One stray byte makes the whole file Windows-1251.
        {"mostly utf-8", "[S]\r\nk=\xD0\xB0\r\nz=\xE0\r\n", CIniFile::FileEncoding::Cp1251, false,
         "Р°"},
    };
    for (const Case& c : cases) {
        CIniFile ini = Parse(c.bytes);
        EXPECT_EQ(ini.Encoding(), c.encoding) << c.name;
        EXPECT_EQ(ini.HasByteOrderMark(), c.mark) << c.name;
        EXPECT_EQ(Value(ini, "S", "k"), c.value) << c.name;
    }
}

// ---- Writing ----------------------------------------------------------------

TEST(IniFileWrite, RoundTripIsByteExact) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    WriteBytes(dir / "tornucfg.ini", "stray=before any section\r\n"
                                     "[Main]\r\n"
                                     "  ; spaced comment  \r\n"
                                     "Password = 0cc175b9c0f1b6a831c399e269772661\r\n"
                                     "\r\n"
                                     "ConfigVersion=2.1\r\n"
                                     "Password=d41d8cd98f00b204e9800998ecf8427e\r\n"
                                     ";\r\n"
                                     "[Interface]\n"
                                     "WindowSize=800,600\n"
                                     "[Main]\r\n"
                                     "ConfigVersion=9.9\r\n"
                                     "[Empty]\r\n"
                                     "[Modem]\r\n"
                                     "Init=AT&F\rE0\r\n"
                                     "Port=COM1");
    CIniFile ini("tornucfg.ini");
    ASSERT_TRUE(ini.Load("tornucfg.ini"));
    ASSERT_TRUE(ini.Save());
    const std::string expected = "[Main]\r\n"
                                 "; spaced comment\r\n"
                                 "Password=d41d8cd98f00b204e9800998ecf8427e\r\n"
                                 "ConfigVersion=2.1\r\n"
                                 ";\r\n"
                                 "\r\n"
                                 "[Interface]\r\n"
                                 "WindowSize=800,600\r\n"
                                 "\r\n"
                                 "[Empty]\r\n"
                                 "\r\n"
                                 "[Modem]\r\n"
                                 "Init=AT&F\rE0\r\n"
                                 "Port=COM1\r\n"
                                 "\r\n";
    EXPECT_EQ(ReadBytes(dir / "tornucfg.ini"), expected);

    // What Save writes reads back as the same object and saves to the same bytes.
    CIniFile again;
    ASSERT_TRUE(again.Load("tornucfg.ini"));
    EXPECT_EQ(again.Sections(), ini.Sections());
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(ReadBytes(dir / "tornucfg.ini"), expected);
}

TEST(IniFileWrite, KeepsTheEncodingTheFileWasReadIn) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"windows-1251",
         "[\xD1\xE5\xEA\xF6\xE8\xFF]\r\nk=\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n\r\n"},
        {"utf-8", "[Секция]\r\nk=значение\r\n\r\n"},
        {"utf-8 with mark", "\xEF\xBB\xBF[Секция]\r\nk=значение\r\n\r\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        ScopedCwd cwd(dir.Path());
        WriteBytes(dir / "s.ini", c.bytes);
        CIniFile ini;
        ASSERT_TRUE(ini.Load("s.ini")) << c.name;
        EXPECT_EQ(Value(ini, "Секция", "k"), "значение") << c.name;
        ASSERT_TRUE(ini.Save()) << c.name;
        EXPECT_EQ(ReadBytes(dir / "s.ini"), c.bytes) << c.name;
    }
}

TEST(IniFileWrite, NewFileIsWindows1251) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    CIniFile ini;
    EXPECT_FALSE(ini.Load("new.ini"));
    ASSERT_TRUE(ini.SetValue("Main", "Имя", "Ёлка"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadBytes(dir / "new.ini"), "[Main]\r\n\xC8\xEC\xFF=\xA8\xEB\xEA\xE0\r\n\r\n");
}

// Windows-1251 cannot give these texts back, so the file turns UTF-8 (with a
// mark) rather than lose them.
TEST(IniFileWrite, TextTheCodePageCannotKeepIsWrittenAsUtf8) {
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"character outside the code page", "/home/оператор/✓.bin"},
        {"windows-1251 bytes that read as utf-8", "Д«"}, // C4 AB is U+012B in UTF-8
    };
    for (const Case& c : cases) {
        TempDir dir;
        ScopedCwd cwd(dir.Path());
        CIniFile ini("s.ini");
        ASSERT_TRUE(ini.SetValue("Files", "Out", c.value));
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(ini.Encoding(), CIniFile::FileEncoding::Utf8) << c.name;
        EXPECT_EQ(ReadBytes(dir / "s.ini"),
                  std::string("\xEF\xBB\xBF[Files]\r\nOut=") + c.value + "\r\n\r\n")
            << c.name;
        CIniFile back;
        ASSERT_TRUE(back.Load("s.ini"));
        EXPECT_EQ(Value(back, "Files", "Out"), c.value) << c.name;
    }
}

// ---- Atomic save ------------------------------------------------------------

TEST(IniFileSave, KeepsPermissionsAndLinks) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    WriteBytes(dir / "real.ini", "[S]\r\nk=1\r\n");
    ::chmod((dir / "real.ini").c_str(), 0640);
    fs::create_symlink("real.ini", dir / "link.ini");
    CIniFile ini;
    ASSERT_TRUE(ini.Load("link.ini"));
    ASSERT_TRUE(ini.SetValue("S", "k", "2"));
    ASSERT_TRUE(ini.Save());
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadBytes(dir / "real.ini"), "[S]\r\nk=2\r\n\r\n");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"link.ini", "real.ini"}));
}

TEST(IniFileSave, FailsWithoutAFileName) {
    CIniFile ini;
    ASSERT_TRUE(ini.SetValue("S", "k", "v"));
    EXPECT_FALSE(ini.Save());
}

TEST(IniFileSave, FailsWhenTheFolderIsMissing) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    CIniFile ini;
    EXPECT_FALSE(ini.Load("missing/s.ini"));
    ASSERT_TRUE(ini.SetValue("S", "k", "v"));
    EXPECT_FALSE(ini.Save());
    EXPECT_TRUE(FilesIn(dir.Path()).empty());
}

TEST(IniFileSave, FailedRenameLeavesNoTemporaryFile) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    fs::create_directory(dir / "s.ini");
    WriteBytes(dir / "s.ini/keep", "x");
    CIniFile ini("s.ini");
    ASSERT_TRUE(ini.SetValue("S", "k", "v"));
    EXPECT_FALSE(ini.Save());
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"s.ini"});
    EXPECT_EQ(ReadBytes(dir / "s.ini/keep"), "x");
}

// A write that fails half way (here: the file size limit) leaves the old file
// as it was.
TEST(IniFileSave, FailedWriteLeavesTheOldFileIntact) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    const std::string old = "[S]\r\nk=old\r\n";
    WriteBytes(dir / "s.ini", old);
    CIniFile ini;
    ASSERT_TRUE(ini.Load("s.ini"));
    ASSERT_TRUE(ini.SetValue("S", "k", std::string(100000, 'x')));

    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = ini.Save();
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(dir / "s.ini"), old);
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"s.ini"});
}

// ---- Operations -------------------------------------------------------------

TEST(IniFileOps, PathIsTheDirectoryCurrentAtConstruction) {
    TempDir dir;
    CIniFile ini = [&] {
        ScopedCwd cwd(dir.Path());
        return CIniFile("tornucfg.ini");
    }();
    EXPECT_EQ(ini.Directory(), dir.Path().string());
    EXPECT_EQ(ini.Path(), dir / "tornucfg.ini");
    WriteBytes(dir / "tornucfg.ini", "[S]\r\nk=v\r\n");
    EXPECT_TRUE(ini.Load("tornucfg.ini")); // found although the current directory changed back
}

TEST(IniFileOps, MissingFileLeavesTheObjectEmpty) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    CIniFile ini;
    ini.LoadFromBytes("[S]\r\nk=v\r\n");
    EXPECT_FALSE(ini.Load("absent.ini"));
    EXPECT_TRUE(ini.Sections().empty());
    EXPECT_EQ(ini.CountEntries("S"), -1);
    fs::create_directory(dir / "folder.ini");
    EXPECT_FALSE(ini.Load("folder.ini"));
}

TEST(IniFileOps, SetValue) {
    CIniFile ini;
    EXPECT_FALSE(ini.SetValue("", "k", "v"));
    EXPECT_FALSE(ini.SetValue("S", "", "v"));
    ASSERT_TRUE(ini.SetValue("S", "k", "1"));
    ASSERT_TRUE(ini.SetValue("S", ";", "note"));
    ASSERT_TRUE(ini.SetValue("S", ";", "note"));
    ASSERT_TRUE(ini.SetValue("T", "a", "2"));
    ASSERT_TRUE(ini.SetValue("S", "k", "3"));
    ASSERT_TRUE(ini.SetValue("S", "m", "4"));
    EXPECT_EQ(ini.ToBytes(), "[S]\r\nk=3\r\n;note\r\n;note\r\nm=4\r\n\r\n[T]\r\na=2\r\n\r\n");
}

// Anything that would read back differently, or break the file's lines, is refused.
TEST(IniFileOps, SetValueRefusesWhatTheFileCannotHold) {
    CIniFile ini;
    EXPECT_FALSE(ini.SetValue("S", "k", "line\r\n[Main]\r\nPassword="));
    EXPECT_FALSE(ini.SetValue("S", ";", "two\nlines"));
    EXPECT_FALSE(ini.SetValue("S\n", "k", "v"));
    EXPECT_FALSE(ini.SetValue(" S", "k", "v"));
    EXPECT_FALSE(ini.SetValue("S", "a=b", "v"));
    EXPECT_FALSE(ini.SetValue("S", "[k", "v"));
    EXPECT_FALSE(ini.SetValue("S", ";k", "v"));
    EXPECT_FALSE(ini.SetValue("S", "k ", "v"));
    EXPECT_TRUE(ini.Sections().empty());
    EXPECT_TRUE(ini.SetValue("S]", "k]", "a\rb=c;[d]"));
    EXPECT_EQ(Parse(ini.ToBytes()).Sections(), ini.Sections());
}

TEST(IniFileOps, AddSection) {
    CIniFile ini;
    EXPECT_TRUE(ini.AddSection("A"));
    EXPECT_FALSE(ini.AddSection("A"));
    EXPECT_FALSE(ini.AddSection(""));
    EXPECT_TRUE(ini.AddSection("a"));
    EXPECT_EQ(ini.CountEntries("A"), 0);
    EXPECT_EQ(ini.ToBytes(), "[A]\r\n\r\n[a]\r\n\r\n");
}

TEST(IniFileOps, GetEntrySkipsComments) {
    CIniFile ini = Parse("[S]\r\n;c0\r\na=1\r\n;c1\r\n;c2\r\nb=2\r\n");
    EXPECT_EQ(ini.CountEntries("S"), 2);
    std::string key, value;
    ASSERT_TRUE(ini.GetEntry("S", 1, key, value));
    EXPECT_EQ(key + "=" + value, "b=2");
    EXPECT_FALSE(ini.GetEntry("S", 2, key, value));
    EXPECT_FALSE(ini.GetEntry("S", -1, key, value));
    EXPECT_FALSE(ini.GetEntry("T", 0, key, value));
}

TEST(IniFileOps, CopyFromAndClear) {
    CIniFile source = Parse("[A]\r\n;c\r\nx=1\r\n[Empty]\r\n[B]\r\ny=2\r\n");
    CIniFile copy = Parse("[Old]\r\nz=0\r\n");
    copy.CopyFrom(source);
    EXPECT_EQ(copy.ToBytes(), "[A]\r\n;c\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n");
    copy.CopyFrom(copy);
    EXPECT_EQ(copy.CountEntries("B"), 1);
    copy.Clear();
    EXPECT_TRUE(copy.Sections().empty());
}

TEST(IniFileOps, ErrorTextNamesTheLastLookup) {
    CIniFile ini = Parse("[Database]\r\nDriver=x\r\n");
    std::string value, text;
    ini.GetValue("Database", "Server", value);
    ini.GetValue("Database", "", value); // an empty key is not remembered
    ASSERT_TRUE(ini.ErrorText(0, text));
    EXPECT_EQ(text, "Не найден параметр Server секция Database");
    ini.GetValue("Database", "Driver", value); // remembered although found
    ASSERT_TRUE(ini.ErrorText(1, text));
    EXPECT_EQ(text, "Недопустимое значение параметра Driver секция Database");
    EXPECT_FALSE(ini.ErrorText(2, text));
    EXPECT_FALSE(ini.ErrorText(-1, text));
}
