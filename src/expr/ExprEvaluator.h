#pragma once
// Evaluates the small expression language of the parameter conversions, such
// as "VAL/10" or "(VAL+1)*2", to a double.
//
//   expression := comparison { ("&&" | "||") comparison }
//   comparison := sum { (">" | ">=" | "==" | "!=" | "<" | "<=") sum }
//   sum        := product { ("+" | "-") product }
//   product    := power { ("*" | "/" | "%") power }
//   power      := signed [ "^" power ]
//   signed     := [ "+" | "-" ] primary
//   primary    := number | variable | "(" expression ")"
//
// Binary levels are left-associative except "^". "[" and "]" are brackets too,
// and either kind closes either kind. "%", the comparisons, "&&" and "||" work
// on operands truncated toward zero to 32-bit integers; "&&" and "||" skip
// their right operand when the left one decides. Whatever follows a complete
// expression is ignored, as long as one more token can be read there.
#include <cstdint>
#include <memory>
#include <string_view>

#include "expr/ExprTokenizer.h"
#include "expr/ExprVariables.h"

namespace tornu {

class CExprEvaluator {
public:
    // Why the last evaluation failed; internal, never shown to the operator.
    enum Error : int {
        kErrorNone = 0,
        kErrorTokenizer = 1,  // a character that starts no token
        kErrorBracket = 5,    // a missing closing bracket
        kErrorOperand = 6,    // an operator, "=", "IF", line end or end where an operand belongs
        kErrorVariable = 10,  // an unknown variable name
        kErrorText = 11,      // an empty text or one longer than kMaxTextLength characters
        kErrorDepth = 12,     // brackets or powers nested deeper than kMaxDepth
        kErrorRange = 13,     // a value that does not fit a double or a 32-bit truncation
        kErrorRemainder = 14, // "%" by an operand that truncates to 0
    };

    static constexpr std::size_t kMaxTextLength = 259; // characters
    static constexpr int kMaxDepth = 64;

    CExprEvaluator();
    ~CExprEvaluator();
    CExprEvaluator(const CExprEvaluator&) = delete;
    CExprEvaluator& operator=(const CExprEvaluator&) = delete;

    // Clears the error code.
    void Reset();
    // The caller defines the variables here before evaluating.
    CExprVariables& Variables() { return variables_; }
    const CExprVariables& Variables() const { return variables_; }

    // False (result untouched, ErrorCode() telling why) when the text does not
    // parse or an operation has no defined result; division follows IEEE 754.
    bool Evaluate(std::string_view text, double& result);
    int ErrorCode() const { return error_; }

private:
    struct Node;
    using NodePtr = std::unique_ptr<Node>;

    NodePtr ParseBinary(int level);
    NodePtr ParsePower();
    NodePtr ParseSigned();
    NodePtr ParsePrimary();
    NodePtr ParseBracketGroup();
    NodePtr ParseVariable();
    NodePtr MakeNumber(double value);
    static NodePtr MakeOperator(int op, NodePtr left, NodePtr right);
    bool Advance();
    void Fail(int error);

    bool Walk(const Node& node, double& value);
    bool WalkLogic(const Node& node, double& value);
    bool Apply(int op, double left, double right, double& value);
    bool Truncate(double value, std::int32_t& integer);

    CExprVariables variables_;
    CExprTokenizer* tokenizer_ = nullptr; // valid during Evaluate only
    int error_ = kErrorNone;
    int depth_ = 0;
};

} // namespace tornu
