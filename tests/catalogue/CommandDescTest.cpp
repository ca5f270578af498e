#include "catalogue/CommandDesc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tornu {
namespace {

TEST(CommandDescTest, ReadsEveryField) {
    CCommandDesc command;
    ASSERT_TRUE(command.Read("WriteDelays",
                             "NUM=17;TYPE=DM;DESC=Запись задержек;PLIST=DLYIN,DLYOUT;FILE=IO"));
    EXPECT_EQ(command.Name(), "WriteDelays");
    EXPECT_EQ(command.Code(), 17);
    EXPECT_EQ(command.Kind(), CommandKind::TopLevel);
    EXPECT_EQ(command.Description(), "Запись задержек");
    EXPECT_EQ(command.ParamList(), (std::vector<std::string>{"DLYIN", "DLYOUT"}));
    EXPECT_TRUE(command.HasFile(kCommandFileIn));
    EXPECT_TRUE(command.HasFile(kCommandFileOut));
    EXPECT_EQ(command.ResultState(), kCommandNotCompleted);
}

struct KindCase {
    const char* type;
    CommandKind kind; // None: refused
};

TEST(CommandDescTest, KindIsTheWholeTextExactly) {
    const KindCase cases[] = {
        {"T", CommandKind::Terminal},     {"D", CommandKind::Device}, {"DM", CommandKind::TopLevel},
        {"DS", CommandKind::Subordinate}, {"d", CommandKind::None},   {"t", CommandKind::None},
        {"DX", CommandKind::None},        {"Dm", CommandKind::None},  {"DM ", CommandKind::None},
        {"", CommandKind::None},          {"TD", CommandKind::None},
    };
    for (const KindCase& c : cases) {
        CCommandDesc command;
        std::string reason;
        const bool ok = command.Read("C", std::string("NUM=1;DESC=x;TYPE=") + c.type, &reason);
        EXPECT_EQ(ok, c.kind != CommandKind::None) << '"' << c.type << '"';
        if (ok) {
            EXPECT_EQ(command.Kind(), c.kind) << '"' << c.type << '"';
        } else {
            EXPECT_EQ(reason, "неверный TYPE") << '"' << c.type << '"';
        }
    }
}

struct RuleCase {
    const char* name;
    const char* text;
    const char* reason; // nullptr: accepted
};

TEST(CommandDescTest, ReadingRules) {
    const RuleCase cases[] = {
        {"complete", "NUM=1;TYPE=T;DESC=Проверка связи", nullptr},
        {"no DESC", "NUM=1;TYPE=T", "нет ключа DESC"},
        {"empty DESC", "NUM=1;TYPE=T;DESC=", "пустое DESC"},
        {"no NUM", "TYPE=T;DESC=x", "нет ключа NUM"},
        {"no TYPE", "NUM=1;DESC=x", "нет ключа TYPE"},
        {"NUM without digits is 0", "NUM=;TYPE=T;DESC=x", nullptr},
        {"negative NUM is kept", "NUM=-5;TYPE=T;DESC=x", nullptr},
        {"DESC checked before NUM", "TYPE=T;DESC=", "пустое DESC"},
        {"quoted DESC keeps its semicolon", "NUM=1;TYPE=T;DESC=\"a;b\"", nullptr},
    };
    for (const RuleCase& c : cases) {
        CCommandDesc command;
        std::string reason;
        EXPECT_EQ(command.Read("C", c.text, &reason), c.reason == nullptr) << c.name;
        EXPECT_EQ(reason, c.reason ? c.reason : "") << c.name;
    }
}

TEST(CommandDescTest, NumbersAndQuotedTexts) {
    CCommandDesc command;
    ASSERT_TRUE(command.Read("C", "NUM= -5x;TYPE=T;DESC=\"Чтение; запись\""));
    EXPECT_EQ(command.Code(), -5);
    EXPECT_EQ(command.Description(), "\"Чтение; запись\"");
    CCommandDesc noDigits;
    ASSERT_TRUE(noDigits.Read("C", "NUM=abc;TYPE=T;DESC=x"));
    EXPECT_EQ(noDigits.Code(), 0);
}

struct ListCase {
    const char* name;
    const char* text;
    std::vector<std::string> items;
};

TEST(CommandDescTest, ParameterList) {
    const ListCase cases[] = {
        {"absent", "NUM=17;TYPE=D;DESC=x", {}},
        {"empty", "NUM=17;TYPE=D;DESC=x;PLIST=", {}},
        {"empty pieces kept", "NUM=17;TYPE=D;DESC=x;PLIST=A,,B", {"A", "", "B"}},
        {"no trimming", "NUM=17;TYPE=D;DESC=x;PLIST= A,B ", {" A", "B "}},
    };
    for (const ListCase& c : cases) {
        CCommandDesc command;
        ASSERT_TRUE(command.Read("C", c.text)) << c.name;
        EXPECT_EQ(command.ParamList(), c.items) << c.name;
    }
}

struct FileCase {
    const char* value;
    int flags;
};

TEST(CommandDescTest, FileFlagsFromLettersAnywhere) {
    const FileCase cases[] = {
        {"I", kCommandFileIn},
        {"O", kCommandFileOut},
        {"IO", kCommandFileIn | kCommandFileOut},
        {"io", kCommandFileIn | kCommandFileOut},
        {"in", kCommandFileIn},
        {"Output", kCommandFileOut},
        {"Вход", 0},
        {"", 0},
        {"x", 0},
    };
    for (const FileCase& c : cases) {
        CCommandDesc command;
        ASSERT_TRUE(command.Read("C", std::string("NUM=60;TYPE=T;DESC=x;FILE=") + c.value));
        EXPECT_EQ(command.FileFlags(), c.flags) << c.value;
        EXPECT_EQ(command.HasFile(kCommandFileIn), (c.flags & kCommandFileIn) != 0) << c.value;
        EXPECT_EQ(command.HasFile(kCommandFileOut), (c.flags & kCommandFileOut) != 0) << c.value;
    }
    CCommandDesc none;
    ASSERT_TRUE(none.Read("C", "NUM=60;TYPE=T;DESC=x"));
    EXPECT_EQ(none.FileFlags(), 0);
}

TEST(CommandDescTest, FileNamesByFlag) {
    CCommandDesc command;
    ASSERT_TRUE(command.Read("Program", "NUM=60;TYPE=T;DESC=x;FILE=IO"));
    command.SetFileName(kCommandFileIn, "/data/prog.bin");
    command.SetFileName(kCommandFileOut, "/data/answer.bin");
    EXPECT_EQ(command.FileName(kCommandFileIn), "/data/prog.bin");
    EXPECT_EQ(command.FileName(kCommandFileOut), "/data/answer.bin");
    // Both bits: the input name comes first.
    EXPECT_EQ(command.FileName(kCommandFileIn | kCommandFileOut), "/data/prog.bin");
    EXPECT_EQ(command.FileName(0), "");

    command.SetFileName(kCommandFileIn | kCommandFileOut, "/data/both.bin");
    EXPECT_EQ(command.FileName(kCommandFileIn), "/data/both.bin");
    EXPECT_EQ(command.FileName(kCommandFileOut), "/data/both.bin");
    command.SetFileName(0, "/data/ignored.bin");
    EXPECT_EQ(command.FileName(kCommandFileOut), "/data/both.bin");
}

TEST(CommandDescTest, NegativeResultStateKeepsTheStateButSetsTheText) {
    CCommandDesc command;
    ASSERT_TRUE(command.Read("C", "NUM=1;TYPE=T;DESC=x"));
    command.SetResult(kCommandFailed, "ОШИБКА: Нет ответа");
    EXPECT_EQ(command.ResultState(), kCommandFailed);
    EXPECT_EQ(command.ResultText(), "ОШИБКА: Нет ответа");
    command.SetResult(-1, "другой текст");
    EXPECT_EQ(command.ResultState(), kCommandFailed);
    EXPECT_EQ(command.ResultText(), "другой текст");
    command.SetResult(kCommandNotCompleted);
    EXPECT_EQ(command.ResultState(), kCommandNotCompleted);
    EXPECT_EQ(command.ResultText(), "");
}

} // namespace
} // namespace tornu
