#include "catalogue/ParamDesc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tornu {
namespace {

TEST(ParamDescRead, TakesEveryFieldOfAFixedPointEntry) {
    CParamDesc desc;
    ASSERT_TRUE(desc.Read("NAME=Delay;DESC=Задержка;GROUP=Таймеры;VTYPE=F1;DTYPE=IO;DEFLT=50;"
                          "IEXPR=VAL/10;OEXPR=VAL*10;CMNT=Время задержки, с"));
    EXPECT_EQ(desc.Name(), "Delay");
    EXPECT_EQ(desc.Description(), "Задержка");
    EXPECT_EQ(desc.Group(), "Таймеры");
    EXPECT_EQ(desc.Comment(), "Время задержки, с");
    EXPECT_EQ(desc.Default(), "50");
    EXPECT_EQ(desc.Kind(), ParamValueKind::Fixed);
    EXPECT_EQ(desc.Decimals(), 1);
    EXPECT_EQ(desc.InputExpression(), "VAL/10");
    EXPECT_EQ(desc.OutputExpression(), "VAL*10");
    EXPECT_EQ(desc.Access(), ParamAccess::InOut);
    EXPECT_TRUE(desc.ListItems().empty());
}

TEST(ParamDescRead, OptionalKeysMayBeAbsent) {
    CParamDesc desc;
    ASSERT_TRUE(desc.Read("NAME=Code;DESC=Код;VTYPE=S;DTYPE=O"));
    EXPECT_EQ(desc.Group(), "");
    EXPECT_EQ(desc.Comment(), "");
    EXPECT_EQ(desc.Default(), "");
    EXPECT_EQ(desc.Decimals(), -1);
}

struct KindCase {
    const char* name;
    const char* vtype;
    ParamValueKind kind;
    std::int32_t decimals;
};

class ParamDescKind : public testing::TestWithParam<KindCase> {};

TEST_P(ParamDescKind, FirstLetterSelectsTheKind) {
    const KindCase& c = GetParam();
    CParamDesc desc;
    ASSERT_TRUE(desc.Read(std::string("NAME=P;DESC=П;DTYPE=IO;LIST=a;VTYPE=") + c.vtype));
    EXPECT_EQ(desc.Kind(), c.kind);
    EXPECT_EQ(desc.Decimals(), c.decimals);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ParamDescKind,
    testing::Values(KindCase{"Integer", "N", ParamValueKind::Integer, -1},
                    KindCase{"IntegerIgnoresDigits", "N2", ParamValueKind::Integer, -1},
                    KindCase{"WordStartingWithN", "Number", ParamValueKind::Integer, -1},
                    KindCase{"LoneF", "F", ParamValueKind::Fixed, -1},
                    KindCase{"F2", "F2", ParamValueKind::Fixed, 2},
                    KindCase{"F0", "F0", ParamValueKind::Fixed, 0},
                    KindCase{"FWithoutDigits", "Fx", ParamValueKind::Fixed, 0},
                    KindCase{"FDigitsThenText", "F3abc", ParamValueKind::Fixed, 3},
                    KindCase{"String", "S", ParamValueKind::String, -1},
                    KindCase{"YesNo", "B", ParamValueKind::YesNo, -1},
                    KindCase{"List", "L", ParamValueKind::List, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParamDescRead, AccessDirections) {
    const struct {
        const char* dtype;
        ParamAccess access;
        bool readable;
        bool writable;
    } cases[] = {
        {"I", ParamAccess::In, true, false},
        {"O", ParamAccess::Out, false, true},
        {"IO", ParamAccess::InOut, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dtype);
        CParamDesc desc;
        ASSERT_TRUE(desc.Read(std::string("NAME=P;DESC=П;VTYPE=N;DTYPE=") + c.dtype));
        EXPECT_EQ(desc.Access(), c.access);
        EXPECT_EQ(desc.IsReadable(), c.readable);
        EXPECT_EQ(desc.IsWritable(), c.writable);
    }
}

TEST(ParamDescRead, ExpressionsOnlyForNumbers) {
    const char* tail = ";NAME=P;DESC=П;DTYPE=O;IEXPR=VAL/10;OEXPR=VAL*10;LIST=a";
    for (const char* vtype : {"N", "F2"}) {
        CParamDesc desc;
        ASSERT_TRUE(desc.Read(std::string("VTYPE=") + vtype + tail));
        EXPECT_EQ(desc.InputExpression(), "VAL/10");
        EXPECT_EQ(desc.OutputExpression(), "VAL*10");
    }
    for (const char* vtype : {"S", "B", "L"}) {
        SCOPED_TRACE(vtype);
        CParamDesc desc;
        ASSERT_TRUE(desc.Read(std::string("VTYPE=") + vtype + tail));
        EXPECT_EQ(desc.InputExpression(), "");
        EXPECT_EQ(desc.OutputExpression(), "");
    }
}

TEST(ParamDescRead, ListItemsSplitAtEveryComma) {
    const struct {
        const char* list;
        std::vector<std::string> items;
    } cases[] = {
        {"Выкл,Вкл,Авто", {"Выкл", "Вкл", "Авто"}},
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {" a , b", {" a ", " b"}},
        {"один", {"один"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        CParamDesc desc;
        ASSERT_TRUE(desc.Read(std::string("NAME=P;DESC=П;VTYPE=L;DTYPE=O;LIST=") + c.list));
        EXPECT_EQ(desc.ListItems(), c.items);
    }
}

TEST(ParamDescRead, ValuesAreReadQuoteAwareAndFirstMatchWins) {
    CParamDesc desc;
    ASSERT_TRUE(desc.Read("NAME=A;NAME=B;DESC=\"x;y\";VTYPE=S;DTYPE=I;VTYPE=Q"));
    EXPECT_EQ(desc.Name(), "A");
    EXPECT_EQ(desc.Description(), "\"x;y\"");
    EXPECT_EQ(desc.Kind(), ParamValueKind::String);
}

struct RefusalCase {
    const char* name;
    const char* text;
    const char* reason;
};

class ParamDescRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ParamDescRefusal, IsRejectedWithTheFirstRuleBroken) {
    const RefusalCase& c = GetParam();
    CParamDesc desc;
    std::string reason;
    EXPECT_FALSE(desc.Read(c.text, &reason));
    EXPECT_EQ(reason, c.reason);
    EXPECT_FALSE(desc.Read(c.text)); // the reason is optional
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ParamDescRefusal,
    testing::Values(
        RefusalCase{"NoName", "DESC=П;VTYPE=N;DTYPE=I", "нет ключа NAME"},
        RefusalCase{"EmptyName", "NAME=;DESC=П;VTYPE=N;DTYPE=I", "пустое NAME"},
        RefusalCase{"NameBeforeDesc", "VTYPE=N;DTYPE=I", "нет ключа NAME"},
        RefusalCase{"NoDesc", "NAME=P;VTYPE=N;DTYPE=I", "нет ключа DESC"},
        RefusalCase{"EmptyDesc", "NAME=P;DESC=;VTYPE=N;DTYPE=I", "пустое DESC"},
        RefusalCase{"NoVtype", "NAME=P;DESC=П;DTYPE=I", "нет ключа VTYPE"},
        RefusalCase{"EmptyVtype", "NAME=P;DESC=П;VTYPE=;DTYPE=I", "пустое VTYPE"},
        RefusalCase{"OtherLetter", "NAME=P;DESC=П;VTYPE=X;DTYPE=I", "неверный VTYPE"},
        RefusalCase{"LowerCaseVtype", "NAME=P;DESC=П;VTYPE=n;DTYPE=I", "неверный VTYPE"},
        RefusalCase{"LeadingBlankVtype", "NAME=P;DESC=П;VTYPE= N;DTYPE=I", "неверный VTYPE"},
        RefusalCase{"VtypeBeforeDtype", "NAME=P;DESC=П;VTYPE=X;DTYPE=x", "неверный VTYPE"},
        RefusalCase{"NoDtype", "NAME=P;DESC=П;VTYPE=N", "нет ключа DTYPE"},
        RefusalCase{"EmptyDtype", "NAME=P;DESC=П;VTYPE=N;DTYPE=", "неверный DTYPE"},
        RefusalCase{"LowerCaseDtype", "NAME=P;DESC=П;VTYPE=N;DTYPE=io", "неверный DTYPE"},
        RefusalCase{"LowerCaseI", "NAME=P;DESC=П;VTYPE=N;DTYPE=i", "неверный DTYPE"},
        RefusalCase{"ReversedDtype", "NAME=P;DESC=П;VTYPE=N;DTYPE=OI", "неверный DTYPE"},
        RefusalCase{"DtypeWithBlank", "NAME=P;DESC=П;VTYPE=N;DTYPE=I ", "неверный DTYPE"},
        RefusalCase{"ListWithoutList", "NAME=P;DESC=П;VTYPE=L;DTYPE=O", "нет ключа LIST"},
        RefusalCase{"EmptyList", "NAME=P;DESC=П;VTYPE=L;DTYPE=O;LIST=", "пустой LIST"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParamDescRead, RefusedTextLeavesTheObjectAsItWas) {
    CParamDesc desc;
    ASSERT_TRUE(desc.Read("NAME=Mode;DESC=Режим;VTYPE=L;DTYPE=O;LIST=a,b;DEFLT=1"));
    EXPECT_FALSE(desc.Read("NAME=Other;DESC=Другой;VTYPE=N;DTYPE=x;DEFLT=7"));
    EXPECT_EQ(desc.Name(), "Mode");
    EXPECT_EQ(desc.Default(), "1");
    EXPECT_EQ(desc.Kind(), ParamValueKind::List);
    EXPECT_EQ(desc.ListItems().size(), 2u);
}

TEST(ParamDescRead, ASecondReadReplacesEveryField) {
    CParamDesc desc;
    ASSERT_TRUE(desc.Read("NAME=A;DESC=А;GROUP=G;VTYPE=F2;DTYPE=IO;IEXPR=VAL/100;CMNT=c"));
    ASSERT_TRUE(desc.Read("NAME=B;DESC=Б;VTYPE=L;DTYPE=I;LIST=x"));
    EXPECT_EQ(desc.Group(), "");
    EXPECT_EQ(desc.Comment(), "");
    EXPECT_EQ(desc.Decimals(), -1);
    EXPECT_EQ(desc.InputExpression(), "");
    EXPECT_EQ(desc.ListItems(), std::vector<std::string>{"x"});
}

} // namespace
} // namespace tornu
