#include "catalogue/CommandDesc.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tornu {
namespace {

TEST(CommandDescTest, ReadingRules) {
    const std::pair<std::string, const char*> cases[] = {
        {"NUM=1;TYPE=T;DESC=x", nullptr},
        {"NUM=;TYPE=DS;DESC=x;PLIST=", nullptr}, // NUM without digits is 0
        {"NUM=1;TYPE=T", "нет ключа DESC"},
        {"NUM=1;TYPE=T;DESC=", "пустое DESC"},
        {"TYPE=T;DESC=", "пустое DESC"}, // DESC is checked before NUM
        {"TYPE=T;DESC=x", "нет ключа NUM"},
        {"NUM=1;DESC=x", "нет ключа TYPE"},
    };
    for (const auto& [text, expected] : cases) {
        CCommandDesc command;
        std::string reason;
        EXPECT_EQ(command.Read("C", text, &reason), expected == nullptr) << text;
        EXPECT_EQ(reason, expected ? expected : "") << text;
    }
    // The kind is the whole text exactly.
    const std::pair<const char*, CommandKind> kinds[] = {
        {"T", CommandKind::Terminal}, {"DS", CommandKind::Subordinate},
        {"d", CommandKind::None},     {"DM ", CommandKind::None},
    };
    for (const auto& [type, kind] : kinds) {
        CCommandDesc command;
        std::string reason;
        const bool ok = command.Read("C", std::string("NUM=1;DESC=x;TYPE=") + type, &reason);
        EXPECT_EQ(ok, kind != CommandKind::None) << '"' << type << '"';
        EXPECT_EQ(ok ? command.Kind() : kind, kind) << type;
        EXPECT_EQ(reason, ok ? "" : "неверный TYPE") << type;
    }
}

TEST(CommandDescTest, FileFlagsNamesAndResults) {
    const std::pair<const char*, int> cases[] = {
        {"io", kCommandFileIn | kCommandFileOut},
        {"Вход", 0},
    };
    for (const auto& [value, flags] : cases) {
        CCommandDesc command;
        ASSERT_TRUE(command.Read("C", std::string("NUM=60;TYPE=T;DESC=x;FILE=") + value));
        EXPECT_EQ(command.FileFlags(), flags) << value;
        EXPECT_EQ(command.HasFile(kCommandFileOut), (flags & kCommandFileOut) != 0) << value;
    }
    CCommandDesc command;
    ASSERT_TRUE(command.Read("Program", "NUM=60;TYPE=T;DESC=x;FILE=IO"));
    command.SetFileName(kCommandFileIn, "/data/prog.bin");
    // Both bits: the input name comes first; none names nothing.
    EXPECT_EQ(command.FileName(kCommandFileIn | kCommandFileOut), "/data/prog.bin");
    command.SetFileName(0, "/data/ignored.bin");
    EXPECT_EQ(command.FileName(0), "");

    // A negative state keeps the state but sets the text.
    command.SetResult(kCommandFailed, "ОШИБКА: Нет ответа");
    command.SetResult(-1, "другой текст");
    EXPECT_EQ(command.ResultState(), kCommandFailed);
    EXPECT_EQ(command.ResultText(), "другой текст");
    command.SetResult(kCommandNotCompleted);
    EXPECT_EQ(command.ResultText(), "");
}

// The input file is read when the command's description for an exchange is
// made, whole up to 64000 bytes.
TEST(CommandDescTest, SpecReadsTheInputFileThen) {
    test::TempDir dir;
    test::WriteBytes(dir / "limit.bin", std::string(kCommandFileLimit, 'Z'));
    test::WriteBytes(dir / "over.bin", std::string(kCommandFileLimit + 1, 'Z'));
    const std::pair<std::string, std::optional<std::size_t>> cases[] = {
        {dir / "limit.bin", kCommandFileLimit}, {dir / "over.bin", std::nullopt},
        {dir / "missing.bin", std::nullopt},    {"", std::nullopt}};
    for (const auto& [file, bytes] : cases) {
        CCommandDesc command;
        ASSERT_TRUE(command.Read("Load", "NUM=60;TYPE=T;DESC=x;FILE=IO"));
        command.SetFileName(kCommandFileIn, file);
        command.SetFileName(kCommandFileOut, "out.bin");
        const CommandSpec spec = command.Spec();
        EXPECT_EQ(spec.input ? std::optional(spec.input->size()) : std::nullopt, bytes) << file;
        EXPECT_EQ(spec.outputFile, "out.bin");
    }
}

} // namespace
} // namespace tornu
