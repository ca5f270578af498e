// Values converted between the stored and the shown form keep what they mean:
// float noise is rounded away, a real fraction is not, an underflow is 0, and
// no text that could break a message is stored.
#include "catalogue/ParamDesc.h"
#include "expr/ExprEvaluator.h"

#include <gtest/gtest.h>

#include <utility>

namespace tornu {
namespace {

CParamDesc Desc(const std::string& text) {
    CParamDesc desc;
    std::string reason;
    EXPECT_TRUE(desc.Read("DESC=x;DEFLT=0;" + text, &reason)) << text << ": " << reason;
    return desc;
}

TEST(Fidelity, ConversionsKeepTheValue) {
    const struct {
        const char* desc;
        const char* display;
        const char* stored; // nullptr: refused
    } fromDisplay[] = {
        {"NAME=A;VTYPE=F4;DTYPE=IO", "1999999999.9999", "1999999999"},
        {"NAME=A;VTYPE=F4;DTYPE=IO", "-1999999999.9999", "-1999999999"},
        {"NAME=A;VTYPE=F2;DTYPE=IO;OEXPR=VAL*100", "0.29", "29"},
        {"NAME=A;VTYPE=F2;DTYPE=IO;OEXPR=VAL*100", "19999999.99", "1999999999"},
        {"NAME=A;VTYPE=F1;DTYPE=IO;OEXPR=VAL*10", "0.7", "7"},
        {"NAME=A;VTYPE=S;DTYPE=IO", "Офис", "Офис"},
        {"NAME=A;VTYPE=S;DTYPE=IO", "1;DEVA=05", nullptr},
        {"NAME=A;VTYPE=S;DTYPE=IO", "a\rb", nullptr},
        {"NAME=A;VTYPE=S;DTYPE=IO", "a\nb", nullptr},
        {"NAME=A;VTYPE=S;DTYPE=IO", "~0012", nullptr},
    };
    for (const auto& c : fromDisplay) {
        std::string stored = "untouched";
        const bool ok = Desc(c.desc).FromDisplay(c.display, stored);
        EXPECT_EQ(ok, c.stored != nullptr) << c.desc << " " << c.display;
        if (c.stored) {
            EXPECT_EQ(stored, c.stored) << c.desc << " " << c.display;
        }
    }
    // A variable's text too small for a double is 0; one too large is an error.
    for (const auto& [val, ok] : {std::pair{"1e-400", true}, {"-0.5e-400", true}, {"1e400", false},
                                  {"10000e-330", true}}) {
        CExprEvaluator evaluator;
        evaluator.Reset();
        ASSERT_TRUE(evaluator.Variables().SetVariable("VAL", val));
        double value = -1;
        EXPECT_EQ(evaluator.Evaluate("VAL+1", value), ok) << val;
        if (ok) {
            EXPECT_NEAR(value, 1.0, 1e-300) << val;
        }
    }
}

} // namespace
} // namespace tornu
