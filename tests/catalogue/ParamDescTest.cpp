#include "catalogue/ParamDesc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tornu {
namespace {

TEST(ParamDescRead, RefusedWithTheFirstRuleBrokenAndLeftAsItWas) {
    const std::pair<const char*, const char*> cases[] = {
        {"DESC=П;VTYPE=N;DTYPE=I", "нет ключа NAME"},
        {"NAME=;DESC=П;VTYPE=N;DTYPE=I", "пустое NAME"},
        {"NAME=P;VTYPE=N;DTYPE=I", "нет ключа DESC"},
        {"NAME=P;DESC=;VTYPE=N;DTYPE=I", "пустое DESC"},
        {"NAME=P;DESC=П;DTYPE=I", "нет ключа VTYPE"},
        {"NAME=P;DESC=П;VTYPE=;DTYPE=I", "пустое VTYPE"},
        {"NAME=P;DESC=П;VTYPE=n;DTYPE=I", "неверный VTYPE"},
        {"NAME=P;DESC=П;VTYPE=N", "нет ключа DTYPE"},
        {"NAME=P;DESC=П;VTYPE=N;DTYPE=", "неверный DTYPE"},
        {"NAME=P;DESC=П;VTYPE=L;DTYPE=O", "нет ключа LIST"},
        {"NAME=P;DESC=П;VTYPE=L;DTYPE=O;LIST=", "пустой LIST"},
    };
    CParamDesc desc;
    ASSERT_TRUE(desc.Read("NAME=Mode;DESC=Режим;VTYPE=L;DTYPE=O;LIST=a,b;DEFLT=1"));
    for (const auto& [text, expected] : cases) {
        std::string reason;
        EXPECT_FALSE(desc.Read(text, &reason));
        EXPECT_EQ(reason, expected) << text;
        EXPECT_FALSE(desc.Read(text)); // the reason is optional
    }
    EXPECT_EQ(desc.Name(), "Mode");
    EXPECT_EQ(desc.Default(), "1");
    EXPECT_EQ(desc.ListItems().size(), 2u);
}

} // namespace
} // namespace tornu
