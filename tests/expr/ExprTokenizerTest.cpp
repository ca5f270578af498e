#include "expr/ExprTokenizer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tornu;
using namespace std::string_view_literals;

namespace {

CExprVariables SomeVariables() {
    CExprVariables variables;
    variables.SetVariable("VAL", "1");
    variables.SetVariable("B2", "2");
    return variables;
}

// The types of all tokens up to and including the end token; -1 marks a failure.
std::vector<int> Types(std::string_view text, const CExprVariables& variables) {
    CExprTokenizer tokenizer(text, variables);
    std::vector<int> types;
    while (types.size() < 100) {
        if (!tokenizer.Next()) {
            types.push_back(-1);
            break;
        }
        types.push_back(tokenizer.Current().type);
        if (tokenizer.Current().type == kTokenEnd)
            break;
    }
    return types;
}

struct TokenCase {
    const char* name;
    std::string_view text;
    std::vector<int> types;
};

const TokenCase kTokenCases[] = {
    {"Arithmetic", "+-*/%^", {0, 1, 3, 4, 5, 6, 43}},
    {"Brackets", "()[])]", {35, 36, 35, 36, 36, 36, 43}},
    {"Comparisons", "< <= > >= = == !=", {30, 31, 26, 27, 32, 28, 29, 43}},
    {"PairsWithoutBlanks", "<==>=!===", {31, 32, 27, 29, 28, 43}},
    {"Logic", "&&||", {33, 34, 43}},
    {"Numbers", "1.5 .5 5. 007", {41, 41, 41, 41, 43}},
    {"NumberThenName", "5abc", {41, 23, 43}},
    {"SecondPointEndsNumber", "1.2.3", {41, 41, 43}},
    {"Names", "VAL B2 IF If if x1", {23, 23, 25, 23, 23, 23, 43}},
    {"LineEnds", "a\r\nb\n\rc\rd\ne\n\nf", {23, 42, 23, 42, 23, 42, 23, 42, 23, 42, 42, 23, 43}},
    {"BlanksAreOnlySpaceAndTab", " \t1\t \v", {41, -1}},
    {"Empty", "", {43}},
    {"LoneBang", "1 ! 2", {41, -1}},
    {"LoneAmpersand", "1 & 2", {41, -1}},
    {"LoneBar", "1 | 2", {41, -1}},
    {"LonePoint", "1 . 2", {41, -1}},
    {"Underscore", "VAL_1", {23, -1}},
    {"Dollar", "$", {-1}},
    {"Semicolon", "1;", {41, -1}},
    {"Cyrillic", "\xD0\xAF", {-1}},
    {"NulByte", "1\0"sv, {41, -1}},
};

void PrintTo(const TokenCase& c, std::ostream* os) {
    *os << c.name;
}

class TokenizerTable : public testing::TestWithParam<TokenCase> {};

TEST_P(TokenizerTable, TokenTypes) {
    const CExprVariables variables = SomeVariables();
    EXPECT_EQ(Types(GetParam().text, variables), GetParam().types);
}

INSTANTIATE_TEST_SUITE_P(Expr, TokenizerTable, testing::ValuesIn(kTokenCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

TEST(ExprTokenizer, NamesCarryTheirVariableIndex) {
    const CExprVariables variables = SomeVariables();
    CExprTokenizer tokenizer("B2 VAL val IF", variables);
    const std::pair<int, int> expected[] = {{23, 1}, {23, 0}, {23, -1}, {25, 0}};
    for (const auto& [type, index] : expected) {
        ASSERT_TRUE(tokenizer.Next());
        EXPECT_EQ(tokenizer.Current().type, type);
        EXPECT_EQ(tokenizer.Current().index, index);
    }
}

TEST(ExprTokenizer, NumberAndNameKeepTheirText) {
    const CExprVariables variables;
    CExprTokenizer tokenizer("  12.50*abc9", variables);
    ASSERT_TRUE(tokenizer.Next());
    EXPECT_EQ(tokenizer.Current().text, "12.50");
    ASSERT_TRUE(tokenizer.Next());
    ASSERT_TRUE(tokenizer.Next());
    EXPECT_EQ(tokenizer.Current().text, "abc9");
    EXPECT_EQ(tokenizer.Current().index, -1);
}

TEST(ExprTokenizer, FailureLeavesThePositionAndEndDoesNotMove) {
    const CExprVariables variables;
    CExprTokenizer tokenizer("1 $", variables);
    ASSERT_TRUE(tokenizer.Next());
    EXPECT_EQ(tokenizer.Position(), 1u);
    EXPECT_FALSE(tokenizer.Next());
    EXPECT_EQ(tokenizer.Position(), 1u);

    CExprTokenizer atEnd("7  ", variables);
    ASSERT_TRUE(atEnd.Next());
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(atEnd.Next());
        EXPECT_EQ(atEnd.Current().type, kTokenEnd);
        EXPECT_EQ(atEnd.Position(), 3u);
    }
}

TEST(ExprVariables, SetFindAndValue) {
    CExprVariables variables;
    EXPECT_TRUE(variables.SetVariable("VAL", "12"));
    EXPECT_TRUE(variables.SetVariable("val", "13"));
    EXPECT_FALSE(variables.SetVariable("VAL", "99")); // the first value stays
    EXPECT_FALSE(variables.SetVariable("", "1"));
    EXPECT_FALSE(variables.SetVariable("X", ""));
    EXPECT_EQ(variables.Count(), 2);
    EXPECT_EQ(variables.Find("VAL"), 0);
    EXPECT_EQ(variables.Find("val"), 1);
    EXPECT_EQ(variables.Find("Val"), -1);
    EXPECT_EQ(variables.Value(0), "12");
    EXPECT_EQ(variables.Value(1), "13");
    EXPECT_EQ(variables.Value(2), "");
    EXPECT_EQ(variables.Value(-1), "");
    variables.Clear();
    EXPECT_EQ(variables.Find("VAL"), -1);
}
