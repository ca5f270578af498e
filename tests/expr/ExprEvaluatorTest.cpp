#include "expr/ExprEvaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

using namespace tornu;

namespace {

struct Outcome {
    bool ok = false;
    double value = 0;
    int error = 0;
};

// As the value conversions do it: a fresh evaluator with the one variable "VAL".
Outcome Eval(std::string_view text, const char* val = "3") {
    CExprEvaluator evaluator;
    evaluator.Reset();
    evaluator.Variables().SetVariable("VAL", val);
    Outcome out;
    out.ok = evaluator.Evaluate(text, out.value);
    out.error = evaluator.ErrorCode();
    return out;
}

constexpr int kOk = CExprEvaluator::kErrorNone;

struct EvalCase {
    const char* text;
    const char* val; // the text of "VAL"
    double value;    // expected when error is kOk
    int error;
};

void CheckAll(std::initializer_list<EvalCase> cases) {
    for (const EvalCase& c : cases) {
        const Outcome out = Eval(c.text, c.val);
        EXPECT_EQ(out.error, c.error) << '"' << c.text << "\" VAL=" << c.val;
        EXPECT_EQ(out.ok, c.error == kOk) << '"' << c.text << '"';
        if (c.error == kOk && out.ok) {
            EXPECT_DOUBLE_EQ(out.value, c.value) << '"' << c.text << "\" VAL=" << c.val;
        }
    }
}

} // namespace

TEST(ExprEvaluator, OperatorsPrecedenceAndSigns) {
    CheckAll({
        {"VAL/10", "1234", 123.4, kOk},
        {"(VAL+1]*2", "3", 8, kOk},
        {"VAL % 3", "-7.8", -1, kOk},
        {"(-2147483647-1) % -1", "3", 0, kOk},
        {"9^0.5", "3", 3, kOk},
        {"  \t.5 + 5. \t ", "3", 5.5, kOk},
        {"2+3*4", "3", 14, kOk},
        {"1.9!=1", "3", 0, kOk},
        {"1<2 && 3<2", "3", 0, kOk},
        {"1 || 1 && 0", "3", 0, kOk},
        {"5 > 4 > 3", "3", 0, kOk},
        {"0.5 && 1", "3", 0, kOk},
        {"8-3-2", "3", 3, kOk},
        {"2^3^2", "3", 512, kOk},
        {"-2^2", "3", 4, kOk},
        {"2--3", "3", 5, kOk},
        {"+5", "3", 5, kOk},
        {"-+2", "3", 0, CExprEvaluator::kErrorOperand},
        {"-7%3", "3", -1, kOk},
        {"--2", "3", 0, CExprEvaluator::kErrorOperand},
        {"3000000000 * 2", "3", 6e9, kOk}, // plain arithmetic never truncates
    });
}

// Every comparison of a value below, equal to and above the other.
TEST(ExprEvaluator, ComparisonsAtTheBoundary) {
    const struct {
        const char* op;
        double below, equal, above;
    } operators[] = {{">", 0, 0, 1},  {">=", 0, 1, 1}, {"==", 0, 1, 0},
                     {"!=", 1, 0, 1}, {"<", 1, 0, 0},  {"<=", 1, 1, 0}};
    for (const auto& o : operators) {
        const std::string text = std::string("VAL ") + o.op + " 3";
        CheckAll({{text.c_str(), "2", o.below, kOk},
                  {text.c_str(), "3", o.equal, kOk},
                  {text.c_str(), "4", o.above, kOk}});
    }
}

// The side that the left operand decides is never evaluated; names are
// resolved while the text is read, so an unknown one fails even there.
TEST(ExprEvaluator, ShortCircuitAndTruncation) {
    CheckAll({
        {"1 || 1/0", "3", 1, kOk},
        {"0 || 5%0", "3", 0, CExprEvaluator::kErrorRemainder},
        {"1 && 5%0", "3", 0, CExprEvaluator::kErrorRemainder},
        {"1 || x", "3", 0, CExprEvaluator::kErrorVariable},
        {"2147483647.9 == 2147483647", "3", 1, kOk},
        {"2147483648 > 0", "3", 0, CExprEvaluator::kErrorRange},
        {"0/0 == 0", "3", 0, CExprEvaluator::kErrorRange},
        {"5 % 3000000000", "3", 0, CExprEvaluator::kErrorRange},
        {"5 % -0.5", "3", 0, CExprEvaluator::kErrorRemainder},
    });
    EXPECT_EQ(Eval("-1/0").value, -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(Eval("0/0").value));
}

// One more token is read after a complete expression; the rest is ignored.
TEST(ExprEvaluator, TrailingTextAndErrors) {
    CheckAll({
        {"VAL=5", "7", 7, kOk},
        {"VAL;", "7", 0, CExprEvaluator::kErrorTokenizer},
        {"VAL_1", "3", 0, CExprEvaluator::kErrorTokenizer},
        {".", "3", 0, CExprEvaluator::kErrorTokenizer},
        {"2^", "3", 0, CExprEvaluator::kErrorOperand},
        {"1+", "3", 0, CExprEvaluator::kErrorOperand},
        {"= 1", "3", 0, CExprEvaluator::kErrorOperand},
        {"", "3", 0, CExprEvaluator::kErrorText},
        {"   ", "3", 0, CExprEvaluator::kErrorOperand},
        {"2 & 3", "3", 0, CExprEvaluator::kErrorTokenizer},
        {"(1 $)", "3", 0, CExprEvaluator::kErrorTokenizer},
        {"[VAL+1", "3", 0, CExprEvaluator::kErrorBracket},
        {"(1=2)", "3", 0, CExprEvaluator::kErrorBracket},
        {"()", "3", 0, CExprEvaluator::kErrorOperand},
        {"val/10", "3", 0, CExprEvaluator::kErrorVariable},
    });
}

// The variable's text is read like a C number: blanks, sign, digits, point,
// exponent; no number gives 0.
TEST(ExprEvaluator, VariableText) {
    CheckAll({
        {"VAL", " \n12", 12, kOk},
        {"VAL", "25E-1", 2.5, kOk},
        {"VAL + 1", "--5", 1, kOk},
        {"VAL", "0x1A", 0, kOk},
        {"VAL", "1e400", 0, CExprEvaluator::kErrorRange},
        {"VAL + 1", "-0.5e-400", 1, kOk}, // too small for a double: 0
    });
    char text[400]; // "%f" of 1e300 runs past 300 characters
    std::snprintf(text, sizeof text, "%f", 1e300);
    EXPECT_DOUBLE_EQ(Eval("VAL", text).value, 1e300);
}

TEST(ExprEvaluator, LengthAndDepthLimits) {
    const std::string fits = "1" + std::string(258, ' ');
    EXPECT_TRUE(Eval(fits).ok);
    EXPECT_EQ(Eval(fits + " ").error, CExprEvaluator::kErrorText);
    std::string sum = "1"; // a long flat chain is not deep
    for (int i = 0; i < 129; ++i)
        sum += "+1";
    EXPECT_EQ(Eval(sum).value, 130);

    const auto powers = [](int count) {
        std::string text = "1";
        for (int i = 0; i < count; ++i)
            text += "^1";
        return text;
    };
    const auto nested = [&](int depth, int count) {
        return std::string(depth, '(') + powers(count) + std::string(depth, ')');
    };
    constexpr int kMax = CExprEvaluator::kMaxDepth;
    for (const auto& [depth, count] :
         {std::pair{kMax, 0}, {0, kMax}, {kMax / 2, kMax - kMax / 2}}) {
        EXPECT_TRUE(Eval(nested(depth, count)).ok) << depth << " " << count;
        EXPECT_EQ(Eval(nested(depth, count + 1)).error, CExprEvaluator::kErrorDepth);
    }
}
