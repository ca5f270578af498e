#pragma once
// Splits an expression text into tokens, one at a time. The token numbers are
// also the operator codes of the expression tree.
#include <cstddef>
#include <string>
#include <string_view>

#include "expr/ExprVariables.h"

namespace tornu {

enum ExprTokenType : int {
    kTokenPlus = 0,       // "+", binary or sign
    kTokenMinus = 1,      // "-", binary or sign
    kTokenUnaryMinus = 2, // tree operator only, never read from text
    kTokenMultiply = 3,   // "*"
    kTokenDivide = 4,     // "/"
    kTokenRemainder = 5,  // "%"
    kTokenPower = 6,      // "^"
    kTokenVariable = 23,  // a name other than "IF"
    kTokenIf = 25,        // "IF", reserved
    kTokenGreater = 26,   // ">"
    kTokenGreaterEqual = 27,
    kTokenEqual = 28, // "=="
    kTokenNotEqual = 29,
    kTokenLess = 30,
    kTokenLessEqual = 31,
    kTokenAssign = 32, // a single "=", which no operator uses
    kTokenAnd = 33,    // "&&"
    kTokenOr = 34,     // "||"
    kTokenOpen = 35,   // "(" or "["
    kTokenClose = 36,  // ")" or "]"
    kTokenNumber = 41,
    kTokenLineEnd = 42, // CR, LF, CR LF or LF CR
    kTokenEnd = 43,
};

struct SExprToken {
    int type = kTokenEnd;
    int index = -1;   // the variable's index for a variable token, else -1
    std::string text; // a number's or a name's text
};

class CExprTokenizer {
public:
    // Neither the text nor the variables are copied: both must outlive the tokenizer.
    CExprTokenizer(std::string_view text, const CExprVariables& variables);

    // Reads the token at the reading position into Current(). On failure (a
    // character that starts no token, a lone "!", "&" or "|", a lone ".") the
    // result is false and the reading position does not move.
    bool Next();
    const SExprToken& Current() const { return token_; }
    std::size_t Position() const { return pos_; }

private:
    void SkipBlanks();
    bool ReadLineEnd();
    bool ReadOperator();
    bool ReadNumber();
    bool ReadName();
    void Set(int type, std::size_t length);

    std::string_view text_;
    const CExprVariables& variables_;
    std::size_t pos_ = 0;
    SExprToken token_;
};

} // namespace tornu
