// Evaluates arbitrary bytes; only a result or a failure may come back. Bytes
// before the first NUL, when there are any, become the text of a variable,
// so that reading variable values is exercised too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "expr/ExprEvaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    tornu::CExprEvaluator evaluator;
    evaluator.Reset();
    const std::size_t nul = input.find('\0');
    if (nul != std::string_view::npos) {
        evaluator.Variables().SetVariable("X", input.substr(0, nul));
        input.remove_prefix(nul + 1);
    }
    evaluator.Variables().SetVariable("VAL", "1234.500000");
    evaluator.Variables().SetVariable("N", "-7");
    double value = 0;
    const bool ok = evaluator.Evaluate(input, value);
    if (ok != (evaluator.ErrorCode() == tornu::CExprEvaluator::kErrorNone))
        __builtin_trap();
    return 0;
}
