#include "expr/ExprTokenizer.h"

#include <gtest/gtest.h>

#include <string_view>
#include <tuple>
#include <vector>

using namespace tornu;
using namespace std::string_view_literals;

namespace {

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

} // namespace

TEST(ExprTokenizer, TokenTypes) {
    CExprVariables variables;
    variables.SetVariable("VAL", "1");
    const std::pair<std::string_view, std::vector<int>> cases[] = {
        {"+-*/%^", {0, 1, 3, 4, 5, 6, 43}},
        {"()[])]", {35, 36, 35, 36, 36, 36, 43}},
        {"< <= > >= = == !=", {30, 31, 26, 27, 32, 28, 29, 43}},
        {"&&||", {33, 34, 43}},
        {"1.5 .5 5. 1.2.3", {41, 41, 41, 41, 41, 43}},
        {"5abc", {41, 23, 43}},
        {"VAL IF If", {23, 25, 23, 43}},
        {"a\r\nb\n\rc\rd\n\nf", {23, 42, 23, 42, 23, 42, 23, 42, 42, 23, 43}},
        {" \t1\t \v", {41, -1}},
        {"1 ! 2", {41, -1}},
        {"\xD0\xAF", {-1}},
        {"1\0"sv, {41, -1}},
    };
    for (const auto& [text, types] : cases)
        EXPECT_EQ(Types(text, variables), types) << text;
}
