#include "catalogue/BusDeviceType.h"
#include "catalogue/DescriptionText.h"
#include "catalogue/HostDeviceType.h"
#include "catalogue/PhoneBookLayout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tornu {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct NumberCase {
    const char* name;
    const char* text;
    std::int32_t value;
};

TEST(LenientIntegerTest, ReadsLikeTheEquipmentSideWritesThem) {
    const NumberCase cases[] = {
        {"plain", "12", 12},
        {"leading blanks and tab", " \t 7", 7},
        {"minus", "-3", -3},
        {"plus", "+5", 5},
        {"stops at a letter", "12abc", 12},
        {"stops at a point", "4.9", 4},
        {"no digits", "abc", 0},
        {"empty", "", 0},
        {"sign alone", "-", 0},
        {"blank after sign", "- 3", 0},
        {"trailing blank", "8 ", 8},
        {"largest", "2147483647", kMax},
        {"smallest", "-2147483648", kMin},
        {"too large clamps", "2147483648", kMax},
        {"far too large clamps", "99999999999999999999999", kMax},
        {"far too small clamps", "-99999999999999999999999", kMin},
    };
    for (const NumberCase& c : cases)
        EXPECT_EQ(ReadLenientInteger(c.text), c.value) << c.name;
}

// ---- Network-device types

constexpr const char* kBusText =
    "NAME=Раздел-8;DTYPE=RK;DSCNT=8;DMST=1;DSLV=0;TLN=8;PHBOOK=ExtMask;PLIST=DLYIN,DLYOUT";

TEST(BusDeviceTypeTest, ReadsEveryField) {
    CBusDeviceType type;
    ASSERT_TRUE(type.Read(kBusText));
    EXPECT_EQ(type.Name(), "Раздел-8");
    EXPECT_EQ(type.TypeCode(), "RK"); // several letters are fine
    EXPECT_EQ(type.PhoneBookLayoutName(), "ExtMask");
    EXPECT_EQ(type.LoopCount(), 8);
    EXPECT_EQ(type.TopLevelFlag(), 1);
    EXPECT_EQ(type.SubordinateFlag(), 0);
    EXPECT_TRUE(type.CanBeTopLevel());
    EXPECT_FALSE(type.CanBeSubordinate());
    EXPECT_EQ(type.PhoneBookLength(), 8);
    EXPECT_EQ(type.ParamList(), (std::vector<std::string>{"DLYIN", "DLYOUT"}));
    EXPECT_EQ(type.DescriptionText(), kBusText);
}

TEST(BusDeviceTypeTest, OptionalKeysMayBeMissing) {
    CBusDeviceType type;
    ASSERT_TRUE(type.Read("NAME=X;DSCNT=0;DMST=0;DSLV=1;TLN=0"));
    EXPECT_TRUE(type.TypeCode().empty());
    EXPECT_TRUE(type.PhoneBookLayoutName().empty());
    EXPECT_TRUE(type.ParamList().empty());
}

struct ListCase {
    const char* name;
    const char* plist;
    std::vector<std::string> items;
};

TEST(BusDeviceTypeTest, ParameterListKeepsPiecesAsWritten) {
    const ListCase cases[] = {
        {"two commas in a row", "A,,B", {"A", "", "B"}},
        {"empty value", "", {}},
        {"leading comma", ",A", {"", "A"}},
        {"no trimming", " A , B", {" A ", " B"}},
        {"trailing comma adds nothing", "A,B,", {"A", "B"}},
    };
    for (const ListCase& c : cases) {
        CBusDeviceType type;
        ASSERT_TRUE(type.Read(std::string("NAME=X;DSCNT=0;DMST=0;DSLV=0;TLN=0;PLIST=") + c.plist))
            << c.name;
        EXPECT_EQ(type.ParamList(), c.items) << c.name;
    }
}

struct RuleCase {
    const char* name;
    const char* text;
    const char* reason; // nullptr: accepted
};

TEST(BusDeviceTypeTest, ReadingRules) {
    const RuleCase cases[] = {
        {"complete", "NAME=A;DSCNT=1;DMST=1;DSLV=1;TLN=1", nullptr},
        {"no NAME", "DSCNT=1;DMST=1;DSLV=1;TLN=1", "нет ключа NAME"},
        {"no DMST", "NAME=A;DSCNT=1;DSLV=1;TLN=1", "нет ключа DMST"},
        {"no DSLV", "NAME=A;DSCNT=1;DMST=1;TLN=1", "нет ключа DSLV"},
        {"no DSCNT", "NAME=A;DMST=1;DSLV=1;TLN=1", "нет ключа DSCNT"},
        {"no TLN", "NAME=A;DSCNT=1;DMST=1;DSLV=1", "нет ключа TLN"},
        {"missing key reported before empty name", "NAME=;DSCNT=1;DMST=1;DSLV=1", "нет ключа TLN"},
        {"empty NAME", "NAME=;DSCNT=1;DMST=1;DSLV=1;TLN=1", "пустое NAME"},
        {"negative DSCNT", "NAME=A;DSCNT=-1;DMST=1;DSLV=1;TLN=1", "отрицательное значение DSCNT"},
        {"negative DMST", "NAME=A;DSCNT=1;DMST=-2;DSLV=1;TLN=1", "отрицательное значение DMST"},
        {"negative DSLV", "NAME=A;DSCNT=1;DMST=1;DSLV=-1;TLN=1", "отрицательное значение DSLV"},
        {"negative TLN", "NAME=A;DSCNT=1;DMST=1;DSLV=1;TLN=-8", "отрицательное значение TLN"},
        {"DSCNT without digits is 0", "NAME=A;DSCNT=много;DMST=1;DSLV=1;TLN=1", nullptr},
        {"huge negative clamps and is refused", "NAME=A;DSCNT=-99999999999;DMST=1;DSLV=1;TLN=1",
         "отрицательное значение DSCNT"},
        {"lower-case key is another key", "name=A;DSCNT=1;DMST=1;DSLV=1;TLN=1", "нет ключа NAME"},
        {"keys trimmed", " NAME =A; DSCNT =1;DMST=1;DSLV=1;TLN=1", nullptr},
        {"empty text", "", "нет ключа NAME"},
    };
    for (const RuleCase& c : cases) {
        CBusDeviceType type;
        std::string reason;
        EXPECT_EQ(type.Read(c.text, &reason), c.reason == nullptr) << c.name;
        EXPECT_EQ(reason, c.reason ? c.reason : "") << c.name;
    }
}

TEST(BusDeviceTypeTest, FirstOfARepeatedKeyWinsAndQuotesHoldSemicolons) {
    CBusDeviceType type;
    ASSERT_TRUE(type.Read("NAME=\"Модуль; A\";NAME=B;DSCNT=2;DSCNT=-1;DMST=0;DSLV=0;TLN=0"));
    EXPECT_EQ(type.Name(), "\"Модуль; A\"");
    EXPECT_EQ(type.LoopCount(), 2);
}

TEST(BusDeviceTypeTest, FailedReadLeavesTheTypeAsItWas) {
    CBusDeviceType type;
    ASSERT_TRUE(type.Read(kBusText));
    EXPECT_FALSE(type.Read("NAME=Другой;DSCNT=1;DMST=1;DSLV=1;PLIST=Z"));
    EXPECT_EQ(type.Name(), "Раздел-8");
    EXPECT_EQ(type.ParamList().size(), 2u);
    EXPECT_EQ(type.DescriptionText(), kBusText);
}

TEST(BusDeviceTypeTest, CopyTakesValidTypesOnly) {
    CBusDeviceType source;
    ASSERT_TRUE(source.Read(kBusText));
    CBusDeviceType copy;
    ASSERT_TRUE(copy.Copy(source));
    EXPECT_EQ(copy.DescriptionText(), kBusText);
    EXPECT_EQ(copy.ParamList(), source.ParamList());
    EXPECT_EQ(copy.PhoneBookLength(), 8);

    const CBusDeviceType unread; // empty name
    EXPECT_FALSE(copy.Copy(unread));
    EXPECT_EQ(copy.Name(), "Раздел-8");
}

// ---- Base-module types

constexpr const char* kHostText =
    "NAME=БМ-4;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=4;PLIST=DLYIN";

TEST(HostDeviceTypeTest, ReadsOwnFieldsAndBuiltInDevice) {
    CHostDeviceType type;
    ASSERT_TRUE(type.Read(kHostText));
    EXPECT_EQ(type.Name(), "БМ-4");
    EXPECT_EQ(type.OwnDeviceAddress(), 0);
    EXPECT_TRUE(type.HasBuiltInDevice());
    EXPECT_EQ(type.LoopNumberCount(), 32);
    EXPECT_EQ(type.BusAddressCount(), 16);
    EXPECT_EQ(type.Rs485(), 1);
    EXPECT_EQ(type.DescriptionText(), kHostText);
    EXPECT_EQ(type.DevicePart().Name(), "БМ-4");
    EXPECT_EQ(type.DevicePart().LoopCount(), 4);
    EXPECT_EQ(type.DevicePart().PhoneBookLength(), 4);
    EXPECT_EQ(type.DevicePart().ParamList(), std::vector<std::string>{"DLYIN"});
    EXPECT_EQ(type.DevicePart().DescriptionText(), kHostText);
}

TEST(HostDeviceTypeTest, ReadingRules) {
    const char* bus = ";DSCNT=0;DMST=0;DSLV=0;TLN=0";
    struct Case {
        const char* name;
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"complete", std::string("NAME=A;DADDR=0;TSCNT=1;TDCNT=1;RS485=0") + bus, nullptr},
        {"lacks a bus-type key", "NAME=A;DADDR=0;TSCNT=1;TDCNT=1;RS485=0;DMST=0;DSLV=0;TLN=0",
         "нет ключа DSCNT"},
        {"no DADDR", std::string("NAME=A;TSCNT=1;TDCNT=1;RS485=0") + bus, "нет ключа DADDR"},
        {"no TSCNT", std::string("NAME=A;DADDR=0;TDCNT=1;RS485=0") + bus, "нет ключа TSCNT"},
        {"no TDCNT", std::string("NAME=A;DADDR=0;TSCNT=1;RS485=0") + bus, "нет ключа TDCNT"},
        {"no RS485", std::string("NAME=A;DADDR=0;TSCNT=1;TDCNT=1") + bus, "нет ключа RS485"},
        {"negative TSCNT", std::string("NAME=A;DADDR=0;TSCNT=-1;TDCNT=1;RS485=0") + bus,
         "отрицательное значение TSCNT"},
        {"negative TDCNT", std::string("NAME=A;DADDR=0;TSCNT=1;TDCNT=-1;RS485=0") + bus,
         "отрицательное значение TDCNT"},
        {"negative RS485", std::string("NAME=A;DADDR=0;TSCNT=1;TDCNT=1;RS485=-1") + bus,
         "отрицательное значение RS485"},
        {"empty NAME", std::string("NAME=;DADDR=0;TSCNT=1;TDCNT=1;RS485=0") + bus, "пустое NAME"},
        {"negative DADDR is allowed", std::string("NAME=A;DADDR=-1;TSCNT=1;TDCNT=1;RS485=0") + bus,
         nullptr},
        {"DADDR without digits is 0", std::string("NAME=A;DADDR=;TSCNT=1;TDCNT=1;RS485=0") + bus,
         nullptr},
    };
    for (const Case& c : cases) {
        CHostDeviceType type;
        std::string reason;
        EXPECT_EQ(type.Read(c.text, &reason), c.reason == nullptr) << c.name;
        EXPECT_EQ(reason, c.reason ? c.reason : "") << c.name;
    }
}

TEST(HostDeviceTypeTest, NegativeAddressMeansNoBuiltInDevice) {
    CHostDeviceType type;
    EXPECT_EQ(type.OwnDeviceAddress(), -1); // before reading
    ASSERT_TRUE(
        type.Read("NAME=БМ-16;DADDR=-5;TSCNT=128;TDCNT=32;RS485=1;DSCNT=0;DMST=0;DSLV=0;TLN=0"));
    EXPECT_EQ(type.OwnDeviceAddress(), -5);
    EXPECT_FALSE(type.HasBuiltInDevice());
}

TEST(HostDeviceTypeTest, FailedReadAndCopyLeaveTheTypeAsItWas) {
    CHostDeviceType type;
    ASSERT_TRUE(type.Read(kHostText));
    EXPECT_FALSE(type.Read("NAME=Б;DADDR=1;TSCNT=1;TDCNT=1;RS485=-1;DSCNT=0;DMST=0;DSLV=0;TLN=0"));
    EXPECT_FALSE(type.Copy(CHostDeviceType{}));
    EXPECT_EQ(type.DescriptionText(), kHostText);
    EXPECT_EQ(type.OwnDeviceAddress(), 0);

    CHostDeviceType copy;
    ASSERT_TRUE(copy.Copy(type));
    EXPECT_EQ(copy.DescriptionText(), kHostText);
    EXPECT_EQ(copy.DevicePart().LoopCount(), 4);
    EXPECT_EQ(copy.BusAddressCount(), 16);
}

// ---- Phone-book layouts

TEST(PhoneBookLayoutTest, LabelsByBitNumber) {
    CPhoneBookLayout layout;
    layout.Read("ExtMask", "BIT0=Тревога;BIT10=Принуждение;BIT23=Управление");
    EXPECT_EQ(layout.Name(), "ExtMask");
    EXPECT_EQ(layout.Label(0), "Тревога");
    EXPECT_EQ(layout.Label(1), ""); // BIT1 is not BIT10
    EXPECT_EQ(layout.Label(10), "Принуждение");
    EXPECT_EQ(layout.Label(23), "Управление");
    EXPECT_EQ(layout.Label(24), "");
    EXPECT_EQ(layout.Label(-1), "");
}

TEST(PhoneBookLayoutTest, PlainReadingFirstMatchNoQuotes) {
    CPhoneBookLayout layout;
    layout.Read("L", "BIT2=Первый;BIT2=Второй;BIT3=\"a;b\"");
    EXPECT_EQ(layout.Label(2), "Первый");
    EXPECT_EQ(layout.Label(3), "\"a"); // quotes do not hold a ";" here
}

TEST(PhoneBookLayoutTest, ReadingAgainForgetsOldLabels) {
    CPhoneBookLayout layout;
    layout.Read("L", "BIT0=A;BIT1=B");
    layout.Read("M", "BIT1=C");
    EXPECT_EQ(layout.Name(), "M");
    EXPECT_EQ(layout.Label(0), "");
    EXPECT_EQ(layout.Label(1), "C");
}

} // namespace
} // namespace tornu
