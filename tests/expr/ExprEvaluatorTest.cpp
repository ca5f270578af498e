#include "expr/ExprEvaluator.h"

#include <gtest/gtest.h>

#include <clocale>
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

constexpr int kOk = 0;

struct EvalCase {
    const char* name;
    const char* text;
    const char* val; // the text of "VAL"
    double value;    // expected when error is kOk
    int error;
};

void Check(const EvalCase& c) {
    const Outcome out = Eval(c.text, c.val);
    EXPECT_EQ(out.error, c.error) << '"' << c.text << '"';
    EXPECT_EQ(out.ok, c.error == kOk) << '"' << c.text << '"';
    if (c.error == kOk && out.ok) {
        EXPECT_DOUBLE_EQ(out.value, c.value) << '"' << c.text << '"';
    }
}

void PrintTo(const EvalCase& c, std::ostream* os) {
    *os << c.name;
}

std::string CaseName(const testing::TestParamInfo<EvalCase>& info) {
    return info.param.name;
}

class Evaluates : public testing::TestWithParam<EvalCase> {};
TEST_P(Evaluates, Value) {
    Check(GetParam());
}

// Examples a catalogue relies on.
const EvalCase kCatalogueCases[] = {
    {"DivideByTen", "VAL/10", "1234", 123.4, kOk},
    {"TimesTenOfFormattedValue", "VAL*10", "0.500000", 5, kOk},
    {"RoundBrackets", "(VAL+1)*2", "3", 8, kOk},
    {"SquareBrackets", "[VAL+1]*2", "3", 8, kOk},
    {"MixedBrackets", "(VAL+1]*2", "3", 8, kOk},
    {"NamesAreCaseSensitive", "val/10", "3", 0, CExprEvaluator::kErrorVariable},
    {"RemainderOfNegativeValue", "VAL % 3", "-7.8", -1, kOk},
    {"ComparisonTruncates", "VAL > 2", "2.9", 0, kOk},
    {"TrailingBlanks", "VAL/10 \t  ", "1234", 123.4, kOk},
    {"LeadingBlanks", "  \tVAL", "5", 5, kOk},
    {"PointFirstNumber", ".5", "3", 0.5, kOk},
    {"PointLastNumber", "5.", "3", 5, kOk},
    {"LonePoint", ".", "3", 0, CExprEvaluator::kErrorTokenizer},
};
INSTANTIATE_TEST_SUITE_P(Catalogue, Evaluates, testing::ValuesIn(kCatalogueCases), CaseName);

const EvalCase kPrecedenceCases[] = {
    {"ProductBeforeSum", "2+3*4", "3", 14, kOk},
    {"PowerBeforeProduct", "2*3^2", "3", 18, kOk},
    {"SumBeforeComparison", "1+1==2", "3", 1, kOk},
    {"ComparisonBeforeLogic", "1<2 && 3<2", "3", 0, kOk},
    {"BracketsFirst", "(2+3)*4", "3", 20, kOk},
    // "&&" and "||" on one level, left to right.
    {"OrThenAnd", "1 || 1 && 0", "3", 0, kOk},
    {"AndThenOr", "0 && 0 || 1", "3", 1, kOk},
    // All six comparisons on one level, left to right.
    {"EqualThenGreater", "2 == 2 > 0", "3", 1, kOk},
    {"ChainedGreater", "5 > 4 > 3", "3", 0, kOk},
    {"LessThenEqual", "3 < 2 == 0", "3", 1, kOk},
};
INSTANTIATE_TEST_SUITE_P(Precedence, Evaluates, testing::ValuesIn(kPrecedenceCases), CaseName);

const EvalCase kAssociativityCases[] = {
    {"MinusLeft", "8-3-2", "3", 3, kOk},         {"DivideLeft", "64/4/2", "3", 8, kOk},
    {"RemainderLeft", "100%7%3", "3", 2, kOk},   {"PowerRight", "2^3^2", "3", 512, kOk},
    {"PowerRightAgain", "2^2^3", "3", 256, kOk},
};
INSTANTIATE_TEST_SUITE_P(Associativity, Evaluates, testing::ValuesIn(kAssociativityCases),
                         CaseName);

const EvalCase kSignsCases[] = {
    {"MinusBindsTighterThanPower", "-2^2", "3", 4, kOk},
    {"NegativeExponent", "2^-1", "3", 0.5, kOk},
    {"SignedExponentOfPower", "2^-2^2", "3", 16, kOk},
    {"TimesNegative", "2*-3", "3", -6, kOk},
    {"MinusNegative", "2--3", "3", 5, kOk},
    {"PlusDropped", "+5", "3", 5, kOk},
    {"BlankAfterSign", "- 2", "3", -2, kOk},
    {"NegatedBracket", "-(2+3)", "3", -5, kOk},
    {"NegatedVariable", "-VAL", "3", -3, kOk},
    {"NegativeRemainder", "-7%3", "3", -1, kOk},
    {"DoubleMinus", "--2", "3", 0, CExprEvaluator::kErrorOperand},
    {"MinusPlus", "-+2", "3", 0, CExprEvaluator::kErrorOperand},
};
INSTANTIATE_TEST_SUITE_P(Signs, Evaluates, testing::ValuesIn(kSignsCases), CaseName);

const EvalCase kOperatorsCases[] = {
    {"Add", "1.25+2", "3", 3.25, kOk},
    {"Subtract", "1-2.5", "3", -1.5, kOk},
    {"Multiply", "1.5*4", "3", 6, kOk},
    {"Divide", "7/2", "3", 3.5, kOk},
    {"Remainder", "7%3", "3", 1, kOk},
    {"RemainderTruncatesBoth", "7.9%2.9", "3", 1, kOk},
    {"RemainderNegativeRight", "7%-3", "3", 1, kOk},
    {"RemainderMinIntByMinusOne", "(-2147483647-1) % -1", "3", 0, kOk},
    {"Power", "9^0.5", "3", 3, kOk},
    {"Greater", "3>2", "3", 1, kOk},
    {"GreaterEqual", "2>=3", "3", 0, kOk},
    {"Equal", "1.9==1", "3", 1, kOk},
    {"NotEqual", "1.9!=1", "3", 0, kOk},
    {"Less", "-1.9<-1", "3", 0, kOk},
    {"LessEqual", "-1.9<=-1", "3", 1, kOk},
    {"AndTrue", "2 && 3", "3", 1, kOk},
    {"AndFalse", "2 && 0", "3", 0, kOk},
    {"AndTruncatesLeft", "0.5 && 1", "3", 0, kOk},
    {"OrFalse", "0 || 0.9", "3", 0, kOk},
    {"OrTrue", "0 || -3", "3", 1, kOk},
    {"PowerOfTwo", "2^10", "3", 1024, kOk},
};
INSTANTIATE_TEST_SUITE_P(Operators, Evaluates, testing::ValuesIn(kOperatorsCases), CaseName);

// The side that the left operand decides is never evaluated.
const EvalCase kShortCircuitCases[] = {
    {"OrSkipsDivisionByZero", "1 || 1/0", "3", 1, kOk},
    {"AndSkipsDivisionByZero", "0 && 1/0", "3", 0, kOk},
    {"OrSkipsRemainderByZero", "VAL || 5%0", "3", 1, kOk},
    {"AndSkipsRemainderByZero", "0 && 5%0", "3", 0, kOk},
    {"AndSkipsOutOfRange", "0 && 3000000000", "3", 0, kOk},
    {"AndEvaluatesRight", "1 && 5%0", "3", 0, CExprEvaluator::kErrorRemainder},
    {"OrEvaluatesRight", "0 || 5%0", "3", 0, CExprEvaluator::kErrorRemainder},
    // Names are resolved while the text is read, so an unknown one fails
    // even where it would never be evaluated.
    {"UnknownNameFailsEvenWhenSkipped", "1 || x", "3", 0, CExprEvaluator::kErrorVariable},
};
INSTANTIATE_TEST_SUITE_P(ShortCircuit, Evaluates, testing::ValuesIn(kShortCircuitCases), CaseName);

const EvalCase kTruncationCases[] = {
    {"LargestPositive", "2147483647.9 == 2147483647", "3", 1, kOk},
    {"LargestNegative", "-2147483648.9 == -2147483647-1", "3", 1, kOk},
    {"AbovePositiveRange", "2147483648 > 0", "3", 0, CExprEvaluator::kErrorRange},
    {"BelowNegativeRange", "-2147483649 < 0", "3", 0, CExprEvaluator::kErrorRange},
    {"VariableOutOfRange", "VAL == 0", "5000000000", 0, CExprEvaluator::kErrorRange},
    {"Infinity", "1/0 > 0", "3", 0, CExprEvaluator::kErrorRange},
    {"NotANumber", "0/0 == 0", "3", 0, CExprEvaluator::kErrorRange},
    {"InfiniteLogicOperand", "(1/0) || 1", "3", 0, CExprEvaluator::kErrorRange},
    {"RemainderOutOfRange", "5 % 3000000000", "3", 0, CExprEvaluator::kErrorRange},
    {"RemainderByZero", "5 % 0", "3", 0, CExprEvaluator::kErrorRemainder},
    {"RemainderByFraction", "5 % 0.9", "3", 0, CExprEvaluator::kErrorRemainder},
    {"RemainderByNegativeFraction", "5 % -0.5", "3", 0, CExprEvaluator::kErrorRemainder},
    // Plain arithmetic never truncates.
    {"ArithmeticBeyondRange", "3000000000 * 2", "3", 6e9, kOk},
};
INSTANTIATE_TEST_SUITE_P(Truncation, Evaluates, testing::ValuesIn(kTruncationCases), CaseName);

// One more token is read after a complete expression; the rest is ignored.
const EvalCase kTrailingTextCases[] = {
    {"SingleEquals", "VAL=5", "7", 7, kOk},
    {"SecondNumber", "VAL 5", "7", 7, kOk},
    {"LettersAfterNumber", "5abc", "7", 5, kOk},
    {"UnknownNameAfterExpression", "VAL x", "7", 7, kOk},
    {"SecondVariable", "VAL VAL", "7", 7, kOk},
    {"ClosingBracket", "1)", "7", 1, kOk},
    {"ExtraClosingBracket", "(1))", "7", 1, kOk},
    {"ReservedWord", "1 IF", "7", 1, kOk},
    {"LineEnd", "1\r\n+2", "7", 1, kOk},
    {"GarbageAfterTheExtraToken", "1 2 $$$", "7", 1, kOk},
    {"CyrillicAfterTheExtraToken", "VAL = \xD0\x92\xD1\x80\xD0\xB5\xD0\xBC\xD1\x8F", "7", 7, kOk},
    {"BadCharacterRightAfter", "VAL $", "7", 0, CExprEvaluator::kErrorTokenizer},
    {"SemicolonRightAfter", "VAL;", "7", 0, CExprEvaluator::kErrorTokenizer},
};
INSTANTIATE_TEST_SUITE_P(TrailingText, Evaluates, testing::ValuesIn(kTrailingTextCases), CaseName);

const EvalCase kErrorsCases[] = {
    {"Empty", "", "3", 0, CExprEvaluator::kErrorText},
    {"OnlyBlanks", "   ", "3", 0, CExprEvaluator::kErrorOperand},
    {"Dollar", "$", "3", 0, CExprEvaluator::kErrorTokenizer},
    {"Underscore", "VAL_1", "3", 0, CExprEvaluator::kErrorTokenizer},
    {"LoneBang", "2 ! 3", "3", 0, CExprEvaluator::kErrorTokenizer},
    {"LoneAmpersand", "2 & 3", "3", 0, CExprEvaluator::kErrorTokenizer},
    {"LoneBar", "2 | 3", "3", 0, CExprEvaluator::kErrorTokenizer},
    {"PointAsOperand", "1 + .", "3", 0, CExprEvaluator::kErrorTokenizer},
    {"BadCharacterInBrackets", "(1 $)", "3", 0, CExprEvaluator::kErrorTokenizer},
    {"MissingClose", "(1+2", "3", 0, CExprEvaluator::kErrorBracket},
    {"MissingSquareClose", "[VAL+1", "3", 0, CExprEvaluator::kErrorBracket},
    {"MissingInnerClose", "((1)", "3", 0, CExprEvaluator::kErrorBracket},
    {"AssignInsteadOfClose", "(1=2)", "3", 0, CExprEvaluator::kErrorBracket},
    {"OperatorFirst", "*2", "3", 0, CExprEvaluator::kErrorOperand},
    {"LoneOperator", "+", "3", 0, CExprEvaluator::kErrorOperand},
    {"MissingRightOperand", "1+", "3", 0, CExprEvaluator::kErrorOperand},
    {"MissingExponent", "2^", "3", 0, CExprEvaluator::kErrorOperand},
    {"EmptyBrackets", "()", "3", 0, CExprEvaluator::kErrorOperand},
    {"ReservedWord", "IF", "3", 0, CExprEvaluator::kErrorOperand},
    {"ReservedWordCall", "IF(1)", "3", 0, CExprEvaluator::kErrorOperand},
    {"ReservedWordOperand", "1+IF", "3", 0, CExprEvaluator::kErrorOperand},
    {"AssignFirst", "= 1", "3", 0, CExprEvaluator::kErrorOperand},
    {"LineEndFirst", "\n1", "3", 0, CExprEvaluator::kErrorOperand},
    {"LineEndInsideSum", "1 +\r\n2", "3", 0, CExprEvaluator::kErrorOperand},
    {"UnknownName", "x", "3", 0, CExprEvaluator::kErrorVariable},
    {"UnknownNameInSum", "VAL+Val", "3", 0, CExprEvaluator::kErrorVariable},
};
INSTANTIATE_TEST_SUITE_P(Errors, Evaluates, testing::ValuesIn(kErrorsCases), CaseName);

// The variable's text is read like a C number: blanks, sign, digits, point,
// exponent; no number gives 0.
const EvalCase kVariableTextCases[] = {
    {"LeadingWhiteSpace", "VAL", " \n12", 12, kOk},
    {"PlusSign", "VAL", "+5", 5, kOk},
    {"MinusPoint", "VAL", "-.5", -0.5, kOk},
    {"Exponent", "VAL", "1.5e3", 1500, kOk},
    {"NegativeExponent", "VAL", "25E-1", 2.5, kOk},
    {"IncompleteExponent", "VAL", "7e", 7, kOk},
    {"TrailingLetters", "VAL", "12abc", 12, kOk},
    {"NotANumber", "VAL + 1", "abc", 1, kOk},
    {"OnlySign", "VAL + 1", "-", 1, kOk},
    {"TwoSigns", "VAL + 1", "--5", 1, kOk},
    {"NoHexadecimal", "VAL", "0x1A", 0, kOk},
    {"NoInfinity", "VAL", "inf", 0, kOk},
    {"NoNan", "VAL", "nan", 0, kOk},
    {"BeyondDouble", "VAL", "1e400", 0, CExprEvaluator::kErrorRange},
};
INSTANTIATE_TEST_SUITE_P(VariableText, Evaluates, testing::ValuesIn(kVariableTextCases), CaseName);

TEST(ExprEvaluator, DivisionByZeroFollowsIeee) {
    Outcome out = Eval("1/0");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.value, std::numeric_limits<double>::infinity());
    out = Eval("-1/0");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.value, -std::numeric_limits<double>::infinity());
    out = Eval("0/0");
    ASSERT_TRUE(out.ok);
    EXPECT_TRUE(std::isnan(out.value));
}

TEST(ExprEvaluator, TextLengthBoundary) {
    const std::string fits = "1" + std::string(258, ' ');
    EXPECT_TRUE(Eval(fits).ok);
    EXPECT_EQ(Eval(fits + " ").error, CExprEvaluator::kErrorText);

    // Counted in characters: 2 + 257 Cyrillic letters (516 bytes) still fit.
    std::string cyrillic = "1=";
    for (int i = 0; i < 257; ++i)
        cyrillic += "\xD0\xAF";
    const Outcome out = Eval(cyrillic);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.value, 1);
    EXPECT_EQ(Eval(cyrillic + "\xD0\xAF").error, CExprEvaluator::kErrorText);
}

TEST(ExprEvaluator, LongFlatChainIsNotTooDeep) {
    std::string sum = "1";
    for (int i = 0; i < 129; ++i)
        sum += "+1";
    ASSERT_EQ(sum.size(), 259u);
    const Outcome out = Eval(sum);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.value, 130);
}

TEST(ExprEvaluator, NestingDepthIsBounded) {
    const auto brackets = [](int depth) {
        return std::string(depth, '(') + "VAL" + std::string(depth, ')');
    };
    EXPECT_EQ(Eval(brackets(CExprEvaluator::kMaxDepth)).value, 3);
    EXPECT_EQ(Eval(brackets(CExprEvaluator::kMaxDepth + 1)).error, CExprEvaluator::kErrorDepth);

    const auto powers = [](int count) {
        std::string text = "1";
        for (int i = 0; i < count; ++i)
            text += "^1";
        return text;
    };
    EXPECT_TRUE(Eval(powers(CExprEvaluator::kMaxDepth)).ok);
    EXPECT_EQ(Eval(powers(CExprEvaluator::kMaxDepth + 1)).error, CExprEvaluator::kErrorDepth);

    // Brackets and powers count together.
    const auto mixed = [&](int depth, int count) {
        return std::string(depth, '(') + powers(count) + std::string(depth, ')');
    };
    const int half = CExprEvaluator::kMaxDepth / 2;
    EXPECT_TRUE(Eval(mixed(half, CExprEvaluator::kMaxDepth - half)).ok);
    EXPECT_EQ(Eval(mixed(half, CExprEvaluator::kMaxDepth - half + 1)).error,
              CExprEvaluator::kErrorDepth);
}

TEST(ExprEvaluator, LongVariableTextIsReadWhole) {
    // A value formatted "%f" from 1e300 runs past 300 characters.
    char text[400];
    std::snprintf(text, sizeof text, "%f", 1e300);
    ASSERT_GT(std::string(text).size(), 300u);
    const Outcome out = Eval("VAL", text);
    ASSERT_TRUE(out.ok);
    EXPECT_DOUBLE_EQ(out.value, 1e300);
}

TEST(ExprEvaluator, ReusedEvaluatorStartsClean) {
    CExprEvaluator evaluator;
    evaluator.Variables().SetVariable("A", "6");
    evaluator.Variables().SetVariable("B2", "4");
    double value = -1;
    EXPECT_FALSE(evaluator.Evaluate("A+(", value));
    EXPECT_EQ(evaluator.ErrorCode(), CExprEvaluator::kErrorOperand);
    EXPECT_EQ(value, -1); // untouched on failure
    EXPECT_TRUE(evaluator.Evaluate("A*B2 - A%B2", value));
    EXPECT_EQ(evaluator.ErrorCode(), CExprEvaluator::kErrorNone);
    EXPECT_EQ(value, 22);
    evaluator.Reset();
    EXPECT_EQ(evaluator.ErrorCode(), CExprEvaluator::kErrorNone);
}

TEST(ExprEvaluator, PointIsADotInAnyLocale) {
    const char* locales[] = {"ru_RU.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"};
    std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* set = nullptr;
    for (const char* name : locales) {
        if ((set = std::setlocale(LC_NUMERIC, name)) != nullptr)
            break;
    }
    if (set == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const Outcome out = Eval("VAL*10 + 0.5", "0.250000");
    std::setlocale(LC_NUMERIC, previous.c_str());
    ASSERT_TRUE(out.ok);
    EXPECT_DOUBLE_EQ(out.value, 3);
}

} // namespace
