// A settings file the operator made read-only is left as it is.
#include "settings/IniFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tornu {
namespace {

TEST(ReadOnlySave, TheFileIsNotReplacedAndTheSaveSaysWhy) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.Path());
    test::WriteBytes(dir / "a.ini", "[Main]\r\nKey=1\r\n");
    ASSERT_EQ(chmod((dir / "a.ini").c_str(), 0444), 0);
    CIniFile file;
    ASSERT_TRUE(file.Load("a.ini"));
    ASSERT_TRUE(file.SetValue("Main", "Key", "2"));
    EXPECT_FALSE(file.Save());
    EXPECT_FALSE(file.LastError().empty());
    EXPECT_EQ(test::ReadBytes(dir / "a.ini"), "[Main]\r\nKey=1\r\n");

    ASSERT_EQ(chmod((dir / "a.ini").c_str(), 0644), 0);
    EXPECT_TRUE(file.Save());
    EXPECT_TRUE(file.LastError().empty());
}

} // namespace
} // namespace tornu
