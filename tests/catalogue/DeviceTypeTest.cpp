#include "catalogue/BusDeviceType.h"
#include "catalogue/HostDeviceType.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tornu {
namespace {

constexpr const char* kBusText =
    "NAME=Раздел-8;DTYPE=RK;DSCNT=8;DMST=1;DSLV=0;TLN=8;PHBOOK=ExtMask;PLIST=DLYIN,,DLYOUT,";
constexpr const char* kHostText =
    "NAME=БМ-4;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=4;PLIST=DLYIN";

void CheckRules(auto type, std::initializer_list<std::pair<std::string, const char*>> cases) {
    for (const auto& [text, expected] : cases) {
        std::string reason;
        EXPECT_EQ(type.Read(text, &reason), expected == nullptr) << text;
        EXPECT_EQ(reason, expected ? expected : "") << text;
    }
}

TEST(BusDeviceTypeTest, ReadsEveryFieldAndCopiesOnlyValidTypes) {
    CBusDeviceType type;
    ASSERT_TRUE(type.Read(kBusText));
    EXPECT_EQ(std::tuple(type.Name(), type.TypeCode(), type.PhoneBookLayoutName(), type.LoopCount(),
                         type.CanBeTopLevel(), type.CanBeSubordinate(), type.PhoneBookLength()),
              std::tuple("Раздел-8", "RK", "ExtMask", 8, true, false, 8));
    // Pieces kept as written; a trailing comma adds nothing.
    EXPECT_EQ(type.ParamList(), (std::vector<std::string>{"DLYIN", "", "DLYOUT"}));
    // A failed read or copy leaves the type as it was.
    EXPECT_FALSE(type.Read("NAME=Другой;DSCNT=1;DMST=1;DSLV=1;PLIST=Z"));
    EXPECT_FALSE(type.Copy(CBusDeviceType{}));
    EXPECT_EQ(type.DescriptionText(), kBusText);
    CBusDeviceType copy;
    ASSERT_TRUE(copy.Copy(type));
    EXPECT_EQ(copy.ParamList(), type.ParamList());
}

TEST(BusDeviceTypeTest, ReadingRules) {
    CheckRules(CBusDeviceType{},
               {{"DSCNT=1;DMST=1;DSLV=1;TLN=1", "нет ключа NAME"},
                {"NAME=A;DSCNT=1;DSLV=1;TLN=1", "нет ключа DMST"},
                {"NAME=A;DMST=1;DSLV=1;TLN=1", "нет ключа DSCNT"},
                {"NAME=;DSCNT=1;DMST=1;DSLV=1", "нет ключа TLN"}, // before the empty name
                {"NAME=;DSCNT=1;DMST=1;DSLV=1;TLN=1", "пустое NAME"},
                {"NAME=A;DSCNT=1;DMST=-2;DSLV=1;TLN=1", "отрицательное значение DMST"},
                {"NAME=A;DSCNT=много;DMST=1;DSLV=1;TLN=1", nullptr},
                {"name=A;DSCNT=1;DMST=1;DSLV=1;TLN=1", "нет ключа NAME"},
                {" NAME =A; DSCNT =1;DMST=1;DSLV=1;TLN=1", nullptr},
                // Counts as far as the line carries them.
                {"NAME=A;DSCNT=999;DMST=1;DSLV=1;TLN=1000", nullptr},
                {"NAME=A;DSCNT=1000;DMST=1;DSLV=1;TLN=1", "значение DSCNT больше 999"},
                {"NAME=A;DSCNT=1;DMST=1;DSLV=1;TLN=99999999", "значение TLN больше 1000"}});
}

TEST(HostDeviceTypeTest, CountsAndTheOwnAddressWithinTheirBounds) {
    const std::string part = ";RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=4";
    CheckRules(CHostDeviceType{},
               {{"NAME=A;DADDR=99;TSCNT=999;TDCNT=100" + part, nullptr},
                {"NAME=A;DADDR=-5;TSCNT=0;TDCNT=0" + part, nullptr},
                {"NAME=A;DADDR=0;TSCNT=1000;TDCNT=16" + part, "значение TSCNT больше 999"},
                {"NAME=A;DADDR=0;TSCNT=32;TDCNT=101" + part, "значение TDCNT больше 100"},
                {"NAME=A;DADDR=100;TSCNT=32;TDCNT=16" + part, "значение DADDR больше 99"}});
}

} // namespace
} // namespace tornu
