#include "expr/ExprEvaluator.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "settings/Encoding.h"

namespace tornu {

// A node without children is a number; any other node is an operator whose
// code is a binary token type or kTokenUnaryMinus (operand in `left`).
struct CExprEvaluator::Node {
    static constexpr int kNumber = -1;
    int op = kNumber;
    double value = 0;
    NodePtr left;
    NodePtr right;
};

namespace {

// Binary levels from the lowest precedence; "^" is right-associative and
// parsed apart.
enum Level : int { kLogicLevel, kComparisonLevel, kSumLevel, kProductLevel, kPowerLevel };

bool IsOperatorOfLevel(int level, int type) {
    switch (level) {
    case kLogicLevel:
        return type == kTokenAnd || type == kTokenOr;
    case kComparisonLevel:
        return type >= kTokenGreater && type <= kTokenLessEqual;
    case kSumLevel:
        return type == kTokenPlus || type == kTokenMinus;
    default:
        return type == kTokenMultiply || type == kTokenDivide || type == kTokenRemainder;
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// For a number out of the range of a double: true when it is too small
// rather than too large, i.e. its first significant digit stands after the
// point once the exponent is applied ("1e-400", "0.0001e-320").
bool IsBelowRange(std::string_view number) {
    const std::size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::size_t i = e + 1;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            ++i;
        for (; i < number.size() && IsDigit(number[i]); ++i)
            exponent = std::min(exponent * 10 + (number[i] - '0'), 1LL << 40);
        exponent = negative ? -exponent : exponent;
    }
    // Position of the first significant digit relative to the point.
    long long position = 0;
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return true;
    position = first < point ? static_cast<long long>(point - first)
                             : -static_cast<long long>(first - point - 1);
    return position + exponent <= 0;
}

// Reads the number a text starts with: white space, a sign, digits, a point
// and an exponent, always with "." as the point whatever the locale. Text
// that does not start with a number gives 0, and so does a number too small
// to tell from 0; false when the number is too large for a double.
bool ReadLeadingNumber(std::string_view text, double& value) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    value = 0;
    // Only decimal digits start a number: no "inf", "nan" or hexadecimal.
    if (i == text.size() || !(IsDigit(text[i]) || text[i] == '.'))
        return true;
    double parsed = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), parsed);
    if (ec == std::errc::result_out_of_range)
        return IsBelowRange(text.substr(i, static_cast<std::size_t>(end - (text.data() + i))));
    if (ec == std::errc())
        value = negative ? -parsed : parsed;
    return true;
}

bool Compare(int op, std::int32_t a, std::int32_t b) {
    switch (op) {
    case kTokenGreater:
        return a > b;
    case kTokenGreaterEqual:
        return a >= b;
    case kTokenEqual:
        return a == b;
    case kTokenNotEqual:
        return a != b;
    case kTokenLess:
        return a < b;
    default:
        return a <= b;
    }
}

class CDepthGuard {
public:
    explicit CDepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~CDepthGuard() { --depth_; }
    CDepthGuard(const CDepthGuard&) = delete;
    CDepthGuard& operator=(const CDepthGuard&) = delete;
    bool Exceeds(int limit) const { return depth_ > limit; }

private:
    int& depth_;
};

} // namespace

CExprEvaluator::CExprEvaluator() = default;
CExprEvaluator::~CExprEvaluator() = default;

void CExprEvaluator::Reset() {
    error_ = kErrorNone;
    depth_ = 0;
}

bool CExprEvaluator::Evaluate(std::string_view text, double& result) {
    Reset();
    if (text.empty() || Utf8Length(text) > kMaxTextLength) {
        Fail(kErrorText);
        return false;
    }
    CExprTokenizer tokenizer(text, variables_);
    tokenizer_ = &tokenizer;
    NodePtr root;
    if (Advance())
        root = ParseBinary(kLogicLevel);
    tokenizer_ = nullptr;
    double value = 0;
    if (error_ != kErrorNone || !root || !Walk(*root, value))
        return false;
    result = value;
    return true;
}

// Every Parse function returns null exactly when it has set an error; it
// leaves the token after its own part as the current token.
CExprEvaluator::NodePtr CExprEvaluator::ParseBinary(int level) {
    if (level == kPowerLevel)
        return ParsePower();
    NodePtr left = ParseBinary(level + 1);
    while (left && IsOperatorOfLevel(level, tokenizer_->Current().type)) {
        const int op = tokenizer_->Current().type;
        if (!Advance())
            return nullptr;
        NodePtr right = ParseBinary(level + 1);
        if (!right)
            return nullptr;
        left = MakeOperator(op, std::move(left), std::move(right));
    }
    return left;
}

// Right-associative: 2^3^2 is 2^(3^2).
CExprEvaluator::NodePtr CExprEvaluator::ParsePower() {
    NodePtr base = ParseSigned();
    if (!base || tokenizer_->Current().type != kTokenPower)
        return base;
    CDepthGuard guard(depth_);
    if (guard.Exceeds(kMaxDepth)) {
        Fail(kErrorDepth);
        return nullptr;
    }
    if (!Advance())
        return nullptr;
    NodePtr exponent = ParsePower();
    if (!exponent)
        return nullptr;
    return MakeOperator(kTokenPower, std::move(base), std::move(exponent));
}

// At most one sign: "--2" fails, "-2^2" is (-2)^2.
CExprEvaluator::NodePtr CExprEvaluator::ParseSigned() {
    const int sign = tokenizer_->Current().type;
    if ((sign == kTokenPlus || sign == kTokenMinus) && !Advance())
        return nullptr;
    NodePtr operand = ParsePrimary();
    if (!operand || sign != kTokenMinus)
        return operand;
    return MakeOperator(kTokenUnaryMinus, std::move(operand), nullptr);
}

CExprEvaluator::NodePtr CExprEvaluator::ParsePrimary() {
    switch (tokenizer_->Current().type) {
    case kTokenNumber: {
        double value = 0;
        if (!ReadLeadingNumber(tokenizer_->Current().text, value)) {
            Fail(kErrorRange);
            return nullptr;
        }
        return Advance() ? MakeNumber(value) : nullptr;
    }
    case kTokenVariable:
        return ParseVariable();
    case kTokenOpen:
        return ParseBracketGroup();
    default:
        Fail(kErrorOperand);
        return nullptr;
    }
}

CExprEvaluator::NodePtr CExprEvaluator::ParseBracketGroup() {
    CDepthGuard guard(depth_);
    if (guard.Exceeds(kMaxDepth)) {
        Fail(kErrorDepth);
        return nullptr;
    }
    if (!Advance())
        return nullptr;
    NodePtr inner = ParseBinary(kLogicLevel);
    if (!inner)
        return nullptr;
    if (tokenizer_->Current().type != kTokenClose) {
        Fail(kErrorBracket);
        return nullptr;
    }
    return Advance() ? std::move(inner) : nullptr;
}

// The value text is read whole, however long: a value formatted from a large
// double runs to hundreds of digits, and cutting it would change the number.
CExprEvaluator::NodePtr CExprEvaluator::ParseVariable() {
    const int index = tokenizer_->Current().index;
    if (index < 0) {
        Fail(kErrorVariable);
        return nullptr;
    }
    double value = 0;
    if (!ReadLeadingNumber(variables_.Value(index), value)) {
        Fail(kErrorRange);
        return nullptr;
    }
    return Advance() ? MakeNumber(value) : nullptr;
}

CExprEvaluator::NodePtr CExprEvaluator::MakeNumber(double value) {
    auto node = std::make_unique<Node>();
    node->value = value;
    return node;
}

CExprEvaluator::NodePtr CExprEvaluator::MakeOperator(int op, NodePtr left, NodePtr right) {
    auto node = std::make_unique<Node>();
    node->op = op;
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
}

bool CExprEvaluator::Advance() {
    if (tokenizer_->Next())
        return true;
    Fail(kErrorTokenizer);
    return false;
}

// The first error is the one reported.
void CExprEvaluator::Fail(int error) {
    if (error_ == kErrorNone)
        error_ = error;
}

bool CExprEvaluator::Walk(const Node& node, double& value) {
    if (node.op == Node::kNumber) {
        value = node.value;
        return true;
    }
    if (node.op == kTokenAnd || node.op == kTokenOr)
        return WalkLogic(node, value);
    double left = 0;
    if (!Walk(*node.left, left))
        return false;
    if (node.op == kTokenUnaryMinus) {
        value = -left;
        return true;
    }
    double right = 0;
    if (!Walk(*node.right, right))
        return false;
    return Apply(node.op, left, right, value);
}

// The right operand is not evaluated when the left one decides, so whatever
// would fail there (a remainder by zero, say) does not fail the expression.
bool CExprEvaluator::WalkLogic(const Node& node, double& value) {
    double operand = 0;
    std::int32_t truth = 0;
    if (!Walk(*node.left, operand) || !Truncate(operand, truth))
        return false;
    const bool decided = node.op == kTokenAnd ? truth == 0 : truth != 0;
    if (!decided && (!Walk(*node.right, operand) || !Truncate(operand, truth)))
        return false;
    value = truth != 0 ? 1 : 0;
    return true;
}

bool CExprEvaluator::Apply(int op, double left, double right, double& value) {
    switch (op) {
    case kTokenPlus:
        value = left + right;
        return true;
    case kTokenMinus:
        value = left - right;
        return true;
    case kTokenMultiply:
        value = left * right;
        return true;
    case kTokenDivide:
        value = left / right;
        return true;
    case kTokenPower:
        value = std::pow(left, right);
        return true;
    default:
        break;
    }
    std::int32_t a = 0, b = 0;
    if (!Truncate(left, a) || !Truncate(right, b))
        return false;
    if (op != kTokenRemainder) {
        value = Compare(op, a, b) ? 1 : 0;
        return true;
    }
    if (b == 0) {
        Fail(kErrorRemainder);
        return false;
    }
    // In 64 bits, since INT32_MIN % -1 overflows in 32.
    value = static_cast<double>(std::int64_t{a} % b);
    return true;
}

// Truncation toward zero; only values whose truncation fits in 32 bits, i.e.
// strictly between -2^31-1 and 2^31 (not-a-number fails both tests).
bool CExprEvaluator::Truncate(double value, std::int32_t& integer) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        Fail(kErrorRange);
        return false;
    }
    integer = static_cast<std::int32_t>(value);
    return true;
}

} // namespace tornu
