#include "expr/ExprTokenizer.h"

namespace tornu {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLatin(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

struct SOperator {
    std::string_view text;
    int type;
};

// Pairs first, so that "<=" is not read as "<" and "=".
constexpr SOperator kOperators[] = {
    {"<=", kTokenLessEqual}, {">=", kTokenGreaterEqual}, {"==", kTokenEqual},
    {"!=", kTokenNotEqual},  {"&&", kTokenAnd},          {"||", kTokenOr},
    {"+", kTokenPlus},       {"-", kTokenMinus},         {"*", kTokenMultiply},
    {"/", kTokenDivide},     {"%", kTokenRemainder},     {"^", kTokenPower},
    {"(", kTokenOpen},       {"[", kTokenOpen},          {")", kTokenClose},
    {"]", kTokenClose},      {"<", kTokenLess},          {">", kTokenGreater},
    {"=", kTokenAssign},
};

} // namespace

CExprTokenizer::CExprTokenizer(std::string_view text, const CExprVariables& variables)
    : text_(text), variables_(variables) {}

bool CExprTokenizer::Next() {
    const std::size_t start = pos_;
    SkipBlanks();
    if (pos_ == text_.size()) {
        Set(kTokenEnd, 0);
        return true;
    }
    const char c = text_[pos_];
    bool ok;
    if (c == '\r' || c == '\n')
        ok = ReadLineEnd();
    else if (IsDigit(c) || c == '.')
        ok = ReadNumber();
    else if (IsLatin(c))
        ok = ReadName();
    else
        ok = ReadOperator();
    if (!ok)
        pos_ = start;
    return ok;
}

void CExprTokenizer::SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
        ++pos_;
}

// CR LF and LF CR are one line end each.
bool CExprTokenizer::ReadLineEnd() {
    std::size_t length = 1;
    if (pos_ + 1 < text_.size()) {
        const char a = text_[pos_], b = text_[pos_ + 1];
        if ((a == '\r' && b == '\n') || (a == '\n' && b == '\r'))
            length = 2;
    }
    Set(kTokenLineEnd, length);
    return true;
}

// "!", "&" and "|" exist only in pairs; any other character fails here too.
bool CExprTokenizer::ReadOperator() {
    const std::string_view rest = text_.substr(pos_);
    for (const auto& op : kOperators) {
        if (rest.starts_with(op.text)) {
            Set(op.type, op.text.size());
            return true;
        }
    }
    return false;
}

// digits [ "." digits ]; either part may be empty, not both.
bool CExprTokenizer::ReadNumber() {
    std::size_t end = pos_;
    while (end < text_.size() && IsDigit(text_[end]))
        ++end;
    const bool hasIntegerPart = end > pos_;
    bool hasFraction = false;
    if (end < text_.size() && text_[end] == '.') {
        ++end;
        while (end < text_.size() && IsDigit(text_[end])) {
            ++end;
            hasFraction = true;
        }
    }
    if (!hasIntegerPart && !hasFraction)
        return false;
    Set(kTokenNumber, end - pos_);
    return true;
}

// A Latin letter followed by Latin letters and digits.
bool CExprTokenizer::ReadName() {
    std::size_t end = pos_ + 1;
    while (end < text_.size() && (IsLatin(text_[end]) || IsDigit(text_[end])))
        ++end;
    const std::string_view name = text_.substr(pos_, end - pos_);
    if (name == "IF") {
        Set(kTokenIf, end - pos_);
        token_.index = 0; // the only reserved word
        return true;
    }
    const int index = variables_.Find(name);
    Set(kTokenVariable, end - pos_);
    token_.index = index;
    return true;
}

void CExprTokenizer::Set(int type, std::size_t length) {
    token_.type = type;
    token_.index = -1;
    token_.text.assign(text_.substr(pos_, length));
    pos_ += length;
}

} // namespace tornu
