#include "catalogue/Catalogue.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tornu {
namespace {

template <class T> std::vector<std::string> Names(const CCatalogue::List<T>& list) {
    std::vector<std::string> names;
    for (const auto& item : list)
        names.push_back(item->Name());
    return names;
}

CIniFile FromText(const std::string& text) {
    CIniFile file;
    file.LoadFromBytes(text);
    return file;
}

TEST(CatalogueTest, SampleCatalogueIsAcceptedWhole) {
    CIniFile file;
    ASSERT_TRUE(file.Load(TORNU_SOURCE_DIR "/data/tornucfg.ini"));
    CCatalogue catalogue;
    catalogue.LoadPhoneBookLayouts(file);
    catalogue.LoadTypes(file);

    for (const DroppedEntry& entry : catalogue.LoadReport())
        ADD_FAILURE() << DescribeDroppedEntry(entry);
    EXPECT_EQ(catalogue.Commands().size(), 19u);
    // Every name a type lists is a parameter of the catalogue.
    for (const auto& type : catalogue.BusTypes())
        for (const std::string& name : type->ParamList())
            EXPECT_NE(catalogue.FindParam(name), nullptr) << type->Name() << ": " << name;
}

// One bad entry for each rule family, between good ones, so both the order of
// what stays and the report can be checked.
constexpr const char* kMixedCatalogue = R"([BusDevice.PhoneBook]
BitMask=BIT0=Тревога;BIT1=Пожар
Empty=

[HostDevice.Type]
1=NAME=БМ-4;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=4
2=NAME=БМ-X;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DMST=1;DSLV=0;TLN=4
3=NAME=БМ-16;DADDR=-1;TSCNT=128;TDCNT=32;RS485=1;DSCNT=0;DMST=0;DSLV=0;TLN=0
4=NAME=БМ-Y;TSCNT=32;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=4
5=NAME=БМ-Z;DADDR=0;TSCNT=32;TDCNT=16;RS485=1;DSCNT=4;DMST=1;DSLV=0;TLN=99999999

[BusDevice.Type]
; comment lines are not entries
a=NAME=Раздел-8;DSCNT=8;DMST=1;DSLV=0;TLN=8
b=NAME=Без TLN;DSCNT=8;DMST=1;DSLV=0
c=NAME=Расширитель;DTYPE=S;DSCNT=много;DMST=0;DSLV=1;TLN=0
d=NAME=;DSCNT=1;DMST=1;DSLV=0;TLN=0
e=NAME=Минус;DSCNT=-1;DMST=1;DSLV=0;TLN=0

[BusDevice.Parameters]
1=NAME=DLYIN;DESC=Задержка на вход;VTYPE=N;DTYPE=IO;DEFLT=30
2=NAME=BAD;DESC=Плохой;VTYPE=N;DTYPE=io

[BusDevice.Commands]
LinkTest=NUM=1;TYPE=T;DESC=Проверка связи
Lower=NUM=16;TYPE=d;DESC=Чтение
NoDesc=NUM=16;TYPE=D;DESC=
ReadStatus=NUM=16;TYPE=D;DESC=Чтение состояния

[BusDevice.Type]
f=NAME=Из второго заголовка;DSCNT=1;DMST=1;DSLV=0;TLN=0
)";

TEST(CatalogueTest, BadEntriesAreLeftOutAndReportedInLoadingOrder) {
    CIniFile file = FromText(kMixedCatalogue);
    CCatalogue catalogue;
    catalogue.LoadPhoneBookLayouts(file);
    catalogue.LoadTypes(file);
    catalogue.LoadTypes(file); // loading again replaces lists and report

    EXPECT_EQ(Names(catalogue.HostTypes()), (std::vector<std::string>{"БМ-4", "БМ-16"}));
    EXPECT_EQ(Names(catalogue.BusTypes()), (std::vector<std::string>{"Раздел-8", "Расширитель"}));
    EXPECT_EQ(Names(catalogue.Params()), std::vector<std::string>{"DLYIN"});
    EXPECT_EQ(Names(catalogue.Commands()), (std::vector<std::string>{"LinkTest", "ReadStatus"}));
    EXPECT_EQ(Names(catalogue.PhoneBookLayouts()), (std::vector<std::string>{"BitMask", "Empty"}));
    std::vector<std::string> report;
    for (const DroppedEntry& entry : catalogue.LoadReport())
        report.push_back(entry.section == "BusDevice.Parameters"
                             ? "[BusDevice.Parameters] " + entry.key
                             : DescribeDroppedEntry(entry));
    EXPECT_EQ(report, (std::vector<std::string>{
                          "[HostDevice.Type] 2: нет ключа DSCNT",
                          "[HostDevice.Type] 4: нет ключа DADDR",
                          "[HostDevice.Type] 5: значение TLN больше 1000",
                          "[BusDevice.Type] b: нет ключа TLN",
                          "[BusDevice.Type] d: пустое NAME",
                          "[BusDevice.Type] e: отрицательное значение DSCNT",
                          "[BusDevice.Parameters] 2", // its wording is the reader's business
                          "[BusDevice.Commands] Lower: неверный TYPE",
                          "[BusDevice.Commands] NoDesc: пустое DESC",
                      }));

    // Layouts: the first one by default, names exact.
    ASSERT_NE(catalogue.FindPhoneBookLayout(""), nullptr);
    EXPECT_EQ(catalogue.FindPhoneBookLayout("")->Label(1), "Пожар");
    EXPECT_EQ(catalogue.FindPhoneBookLayout("bitmask"), nullptr);
    ASSERT_NE(catalogue.FindParam("DLYIN"), nullptr);
    EXPECT_EQ(catalogue.FindParam("dlyin"), nullptr);
    EXPECT_EQ(catalogue.FindParam("BAD"), nullptr);
}

} // namespace
} // namespace tornu
