#include "catalogue/ParamDesc.h"
#include "catalogue/ParamEdit.h"
#include "catalogue/ParamValue.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tornu {
namespace {

CParamDesc MakeDesc(const std::string& text) {
    CParamDesc desc;
    std::string reason;
    EXPECT_TRUE(desc.Read(text, &reason)) << text << ": " << reason;
    return desc;
}

// ---- Stored to display ----

struct ToDisplayCase {
    const char* name;
    const char* desc; // appended to "NAME=P;DESC=П;DTYPE=IO;"
    std::optional<std::string> stored;
    std::optional<std::string> display; // none: the conversion fails
};

class ParamToDisplay : public testing::TestWithParam<ToDisplayCase> {};

TEST_P(ParamToDisplay, Converts) {
    const ToDisplayCase& c = GetParam();
    const CParamDesc desc = MakeDesc(std::string("NAME=P;DESC=П;DTYPE=IO;") + c.desc);
    std::string display = "untouched";
    const bool ok = desc.ToDisplay(c.stored, display);
    ASSERT_EQ(ok, c.display.has_value()) << display;
    EXPECT_EQ(display, c.display.value_or("untouched"));
}

const std::nullopt_t kFails = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Kinds, ParamToDisplay,
    testing::Values(
        // N
        ToDisplayCase{"Integer", "VTYPE=N", "42", "42"},
        ToDisplayCase{"IntegerTrimmed", "VTYPE=N", " \t-42 \r\n", "-42"},
        ToDisplayCase{"IntegerLoneMinus", "VTYPE=N", "-", "0"},
        ToDisplayCase{"IntegerLeadingZeros", "VTYPE=N", "007", "7"},
        ToDisplayCase{"IntegerPlusSign", "VTYPE=N", "+5", kFails},
        ToDisplayCase{"IntegerInnerSpace", "VTYPE=N", "4 2", kFails},
        ToDisplayCase{"IntegerEmpty", "VTYPE=N", "", kFails},
        ToDisplayCase{"IntegerFraction", "VTYPE=N", "1.5", kFails},
        ToDisplayCase{"IntegerBeyond32Bits", "VTYPE=N", "2147483648", kFails},
        ToDisplayCase{"IntegerExpression", "VTYPE=N;IEXPR=VAL*2", "21", "42"},
        ToDisplayCase{"IntegerExpressionTruncates", "VTYPE=N;IEXPR=VAL/3", "-10", "-3"},
        ToDisplayCase{"IntegerExpressionBadStored", "VTYPE=N;IEXPR=VAL*2", "x", kFails},
        ToDisplayCase{"IntegerExpressionOutOfRange", "VTYPE=N;IEXPR=VAL*1000000", "5000", kFails},
        ToDisplayCase{"IntegerExpressionInfinite", "VTYPE=N;IEXPR=VAL/0", "1", kFails},
        ToDisplayCase{"IntegerExpressionNaN", "VTYPE=N;IEXPR=VAL/0", "0", kFails},
        ToDisplayCase{"IntegerExpressionLowerCase", "VTYPE=N;IEXPR=val/10", "10", kFails},
        ToDisplayCase{"IntegerExpressionBroken", "VTYPE=N;IEXPR=(VAL+1", "10", kFails},
        ToDisplayCase{"IntegerExpressionMinimum", "VTYPE=N;IEXPR=VAL-1", "-2147483647",
                      "-2147483648"},
        // F
        ToDisplayCase{"FixedThreeDecimals", "VTYPE=F3;IEXPR=VAL/1000", "12345", "12.345"},
        ToDisplayCase{"FixedWithoutExpression", "VTYPE=F3", "12345", "12345.000000"},
        ToDisplayCase{"FixedStoredWithPoint", "VTYPE=F", "12.5", "12.500000"},
        ToDisplayCase{"FixedOneDecimal", "VTYPE=F1;IEXPR=VAL/10", "50", "5.0"},
        ToDisplayCase{"FixedLoneFSixDecimals", "VTYPE=F;IEXPR=VAL/10", "50", "5.000000"},
        ToDisplayCase{"FixedNoDecimals", "VTYPE=F0;IEXPR=VAL/10", "1234", "123"},
        ToDisplayCase{"FixedRoundsHalfToEven", "VTYPE=F0;IEXPR=VAL/10", "45", "4"},
        ToDisplayCase{"FixedNegative", "VTYPE=F1;IEXPR=VAL/100", "-1234", "-12.3"},
        ToDisplayCase{"FixedLargeResultIsShown", "VTYPE=F2;IEXPR=VAL*100000", "2000000000",
                      "200000000000000.00"},
        ToDisplayCase{"FixedExpressionInfinite", "VTYPE=F2;IEXPR=VAL/0", "1", kFails},
        ToDisplayCase{"FixedExpressionFails", "VTYPE=F2;IEXPR=VAL/", "1", kFails},
        ToDisplayCase{"FixedExponent", "VTYPE=F", "1e3", kFails},
        ToDisplayCase{"FixedTwoPoints", "VTYPE=F", "1.2.3", kFails},
        ToDisplayCase{"FixedComma", "VTYPE=F", "1,5", kFails},
        // S
        ToDisplayCase{"StringEmpty", "VTYPE=S", "", ""},
        ToDisplayCase{"StringAsStored", "VTYPE=S", " Пост 1 ", " Пост 1 "},
        // B
        ToDisplayCase{"YesNoSeven", "VTYPE=B", "7", "Да"},
        ToDisplayCase{"YesNoNegative", "VTYPE=B", "-1", "Да"},
        ToDisplayCase{"YesNoZero", "VTYPE=B", " 0 ", "Нет"},
        ToDisplayCase{"YesNoText", "VTYPE=B", "Да", kFails},
        ToDisplayCase{"YesNoEmpty", "VTYPE=B", "", kFails},
        // L
        ToDisplayCase{"ListLast", "VTYPE=L;LIST=A,B,C", "2", "C"},
        ToDisplayCase{"ListFirst", "VTYPE=L;LIST=A,B,C", "0", "A"},
        ToDisplayCase{"ListEmptyItem", "VTYPE=L;LIST=A,,C", "1", ""},
        ToDisplayCase{"ListPastEnd", "VTYPE=L;LIST=A,B,C", "3", kFails},
        ToDisplayCase{"ListNegative", "VTYPE=L;LIST=A,B,C", "-1", kFails},
        ToDisplayCase{"ListNotANumber", "VTYPE=L;LIST=A,B,C", "B", kFails},
        // No stored value: the default
        ToDisplayCase{"DefaultFixed", "VTYPE=F1;IEXPR=VAL/10;DEFLT=50", std::nullopt, "5.0"},
        ToDisplayCase{"DefaultList", "VTYPE=L;LIST=A,B;DEFLT=1", std::nullopt, "B"},
        ToDisplayCase{"DefaultString", "VTYPE=S;DEFLT=abc", std::nullopt, "abc"},
        ToDisplayCase{"NoDefaultInteger", "VTYPE=N", std::nullopt, kFails},
        ToDisplayCase{"StoredBeatsDefault", "VTYPE=N;DEFLT=5", "6", "6"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Display to stored ----

struct FromDisplayCase {
    const char* name;
    const char* desc;
    std::string display;
    std::optional<std::string> stored;
};

class ParamFromDisplay : public testing::TestWithParam<FromDisplayCase> {};

TEST_P(ParamFromDisplay, Converts) {
    const FromDisplayCase& c = GetParam();
    const CParamDesc desc = MakeDesc(std::string("NAME=P;DESC=П;DTYPE=IO;") + c.desc);
    std::string stored = "untouched";
    const bool ok = desc.FromDisplay(c.display, stored);
    ASSERT_EQ(ok, c.stored.has_value()) << stored;
    EXPECT_EQ(stored, c.stored.value_or("untouched"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ParamFromDisplay,
    testing::Values(
        // N
        FromDisplayCase{"Integer", "VTYPE=N", "42", "42"},
        FromDisplayCase{"IntegerTrimmed", "VTYPE=N", " 7 ", "7"},
        FromDisplayCase{"IntegerLoneMinus", "VTYPE=N", "-", "0"},
        FromDisplayCase{"IntegerPlusSign", "VTYPE=N", "+5", kFails},
        FromDisplayCase{"IntegerInnerSpace", "VTYPE=N", "4 2", kFails},
        FromDisplayCase{"IntegerLetter", "VTYPE=N", "4a", kFails},
        FromDisplayCase{"IntegerExpression", "VTYPE=N;OEXPR=VAL*10", "5", "50"},
        FromDisplayCase{"IntegerExpressionTruncates", "VTYPE=N;OEXPR=VAL/4", "-7", "-1"},
        FromDisplayCase{"IntegerExpressionOutOfRange", "VTYPE=N;OEXPR=VAL*1000000", "5000", kFails},
        FromDisplayCase{"IntegerExpressionInfinite", "VTYPE=N;OEXPR=VAL/0", "5", kFails},
        // F
        FromDisplayCase{"FixedScaled", "VTYPE=F1;OEXPR=VAL*10", "7.5", "75"},
        FromDisplayCase{"FixedHalf", "VTYPE=F1;OEXPR=VAL*10", "0.5", "5"},
        FromDisplayCase{"FixedTruncatesTowardZero", "VTYPE=F1;OEXPR=VAL*10", "-0.55", "-5"},
        FromDisplayCase{"FixedLeadingPoint", "VTYPE=F1;OEXPR=VAL*10", ".5", "5"},
        FromDisplayCase{"FixedLonePoint", "VTYPE=F1;OEXPR=VAL*10", ".", "0"},
        FromDisplayCase{"FixedRoundingErrorIsNotTruncated", "VTYPE=F2;OEXPR=VAL*100", "0.29", "29"},
        FromDisplayCase{"FixedRoundingErrorNegative", "VTYPE=F2;OEXPR=VAL*100", "-0.29", "-29"},
        FromDisplayCase{"FixedExponent", "VTYPE=F1;OEXPR=VAL*10", "1e3", kFails},
        FromDisplayCase{"FixedTwoPoints", "VTYPE=F1;OEXPR=VAL*10", "1.2.3", kFails},
        FromDisplayCase{"FixedComma", "VTYPE=F1;OEXPR=VAL*10", "7,5", kFails},
        FromDisplayCase{"FixedPlusSign", "VTYPE=F1;OEXPR=VAL*10", "+7.5", kFails},
        FromDisplayCase{"FixedWithoutExpression", "VTYPE=F", "12.9", "12"},
        FromDisplayCase{"FixedWithoutExpressionNegative", "VTYPE=F", "-12.9", "-12"},
        FromDisplayCase{"FixedTopOfRange", "VTYPE=F", "2147483647.9", "2147483647"},
        FromDisplayCase{"FixedBottomOfRange", "VTYPE=F", "-2147483648.5", "-2147483648"},
        FromDisplayCase{"FixedAboveRange", "VTYPE=F", "2147483648", kFails},
        FromDisplayCase{"FixedExpressionAboveRange", "VTYPE=F;OEXPR=VAL*10", "300000000", kFails},
        FromDisplayCase{"FixedExpressionInfinite", "VTYPE=F;OEXPR=VAL/0", "1", kFails},
        FromDisplayCase{"FixedExpressionNaN", "VTYPE=F;OEXPR=VAL/0", "0", kFails},
        // S
        FromDisplayCase{"String", "VTYPE=S", " Пост 1 ", " Пост 1 "},
        FromDisplayCase{"StringEmpty", "VTYPE=S", "", ""},
        FromDisplayCase{"StringWithEquals", "VTYPE=S", "a=b", "a=b"},
        FromDisplayCase{"StringWithSemicolon", "VTYPE=S", "a;MODE=5", kFails},
        // B
        FromDisplayCase{"Yes", "VTYPE=B", "Да", "1"}, FromDisplayCase{"No", "VTYPE=B", "Нет", "0"},
        FromDisplayCase{"YesLowerCase", "VTYPE=B", "да", kFails},
        FromDisplayCase{"NoLowerCase", "VTYPE=B", "нет", kFails},
        FromDisplayCase{"YesNoDigit", "VTYPE=B", "1", kFails},
        FromDisplayCase{"YesWithBlank", "VTYPE=B", "Да ", kFails},
        // L
        FromDisplayCase{"ListItem", "VTYPE=L;LIST=A,B,C", "B", "1"},
        FromDisplayCase{"ListFirstOfEqualItems", "VTYPE=L;LIST=A,B,B", "B", "1"},
        FromDisplayCase{"ListEmptyItem", "VTYPE=L;LIST=A,,C", "", "1"},
        FromDisplayCase{"ListUnknown", "VTYPE=L;LIST=A,B,C", "D", kFails},
        FromDisplayCase{"ListIndexIsNotAnItem", "VTYPE=L;LIST=A,B,C", "1", kFails}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParamConversion, CatalogueExampleRoundTrip) {
    const CParamDesc delay = MakeDesc("NAME=Delay;DESC=Задержка;GROUP=Таймеры;VTYPE=F1;DTYPE=IO;"
                                      "DEFLT=50;IEXPR=VAL/10;OEXPR=VAL*10;CMNT=Время задержки, с");
    const CParamDesc mode =
        MakeDesc("NAME=Mode;DESC=Режим;VTYPE=L;DTYPE=O;LIST=Выкл,Вкл,Авто;DEFLT=0");
    std::string text;
    ASSERT_TRUE(delay.ToDisplay(std::nullopt, text));
    EXPECT_EQ(text, "5.0");
    ASSERT_TRUE(delay.FromDisplay("7.5", text));
    EXPECT_EQ(text, "75");
    ASSERT_TRUE(mode.ToDisplay(std::nullopt, text));
    EXPECT_EQ(text, "Выкл");
    ASSERT_TRUE(mode.FromDisplay("Авто", text));
    EXPECT_EQ(text, "2");
}

// The desktop program runs under the operator's locale, whose decimal point
// may be ",". A locale with "," is built once into the build tree.
bool UseCommaLocale() {
    const std::filesystem::path root = std::filesystem::path(TORNU_BINARY_DIR) / "test-locales";
    const std::filesystem::path target = root / "ru_RU.UTF-8";
    if (!std::filesystem::exists(target)) {
        // Built aside and renamed, so that a parallel run never sees half of it.
        std::filesystem::create_directories(root);
        const std::string aside = (root / ("building-" + std::to_string(::getpid()))).string();
        const std::string command = "localedef -i ru_RU -f UTF-8 '" + aside + "' >/dev/null 2>&1";
        std::error_code ec;
        if (std::system(command.c_str()) == 0)
            std::filesystem::rename(aside, target, ec);
        std::filesystem::remove_all(aside, ec);
    }
    ::setenv("LOCPATH", root.c_str(), 1);
    // The desktop toolkit sets the C library's locale this way at start-up.
    return std::setlocale(LC_ALL, "ru_RU.UTF-8") != nullptr &&
           std::localeconv()->decimal_point == std::string(",");
}

TEST(ParamConversion, PointWhateverTheLocale) {
    const bool comma = UseCommaLocale();
    const CParamDesc delay =
        MakeDesc("NAME=D;DESC=Д;VTYPE=F2;DTYPE=IO;IEXPR=VAL/100;OEXPR=VAL*100");
    const CParamDesc raw = MakeDesc("NAME=R;DESC=Р;VTYPE=F;DTYPE=IO");
    std::string shown, rawShown, stored;
    const bool shownOk = delay.ToDisplay("1234", shown);
    const bool rawOk = raw.ToDisplay("7", rawShown);
    const bool storedOk = delay.FromDisplay("7.25", stored);
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma could be built";
    ASSERT_TRUE(shownOk && rawOk && storedOk);
    EXPECT_EQ(shown, "12.34");
    EXPECT_EQ(rawShown, "7.000000");
    EXPECT_EQ(stored, "725");
}

// ---- Values of a device ----

class ParamValuesTest : public testing::Test {
protected:
    void SetUp() override {
        Add("NAME=Delay;DESC=Задержка;VTYPE=F1;DTYPE=IO;DEFLT=50;IEXPR=VAL/10;OEXPR=VAL*10");
        Add("NAME=State;DESC=Состояние;VTYPE=N;DTYPE=I;DEFLT=3");
        Add("NAME=Mode;DESC=Режим;VTYPE=L;DTYPE=O;LIST=Выкл,Вкл,Авто;DEFLT=0");
        Add("NAME=Label;DESC=Надпись;VTYPE=S;DTYPE=IO;DEFLT=Пост");
        Add("NAME=Siren;DESC=Сирена;VTYPE=B;DTYPE=O;DEFLT=1");
        Add("NAME=Count;DESC=Счёт;VTYPE=N;DTYPE=O;DEFLT=9");
    }
    void Add(const std::string& text) {
        catalogue_.push_back(std::make_unique<CParamDesc>(MakeDesc(text)));
    }
    CParamValueList ValuesFor(const std::vector<std::string>& plist) const {
        return CParamValueList(SelectDeviceParams(catalogue_, plist));
    }
    std::vector<std::unique_ptr<CParamDesc>> catalogue_;
};

std::vector<std::string> Names(const std::vector<const CParamDesc*>& descs) {
    std::vector<std::string> names;
    for (const CParamDesc* desc : descs)
        names.push_back(desc->Name());
    return names;
}

TEST_F(ParamValuesTest, DeviceGetsCatalogueOrderAndIgnoresUnknownNames) {
    const auto selected =
        SelectDeviceParams(catalogue_, {"Mode", "Unknown", "", "Delay", "delay", "Mode"});
    EXPECT_EQ(Names(selected), (std::vector<std::string>{"Delay", "Mode"}));
    EXPECT_TRUE(SelectDeviceParams(catalogue_, {}).empty());
}

TEST_F(ParamValuesTest, NewDeviceHoldsTheDefaults) {
    const CParamValueList values = ValuesFor({"Mode", "Delay"});
    ASSERT_EQ(values.Count(), 2u);
    EXPECT_EQ(values.Name(0), "Delay");
    EXPECT_EQ(values.Value(0), "50");
    EXPECT_EQ(values.Desc(0), catalogue_[0].get());
    EXPECT_EQ(values.Name(1), "Mode");
    EXPECT_EQ(values.Value(1), "0");
}

TEST_F(ParamValuesTest, ParameterTextCarriesWritableValuesInDeviceOrder) {
    CParamValueList values = ValuesFor({"Count", "Siren", "Label", "Mode", "State", "Delay"});
    ASSERT_TRUE(values.SetValue(2, "2")); // Mode
    ASSERT_TRUE(values.SetValue(3, ""));  // Label: an empty value goes as its default
    EXPECT_EQ(BuildParameterText(values), "Delay=50;Mode=2;Label=Пост;Siren=1;Count=9;");
}

TEST_F(ParamValuesTest, ParameterTextRestrictedToAList) {
    const CParamValueList values = ValuesFor({"Count", "Siren", "Label", "Mode", "State", "Delay"});
    const std::vector<std::string> list = {"Count", "State", "Delay", "mode", "Labe"};
    // The list's order does not matter; read-only and near-miss names are left out.
    EXPECT_EQ(BuildParameterText(values, &list), "Delay=50;Count=9;");
    const std::vector<std::string> none;
    EXPECT_EQ(BuildParameterText(values, &none), "");
}

TEST_F(ParamValuesTest, ParameterTextSkipsValuesWithoutDescription) {
    CParamValueList values;
    values.Add({"Orphan", "1", nullptr});
    values.Add({"Count", "4", catalogue_[5].get()});
    EXPECT_EQ(BuildParameterText(values), "Count=4;");
}

// ---- Editing ----

TEST_F(ParamValuesTest, EditStoresTheConvertedValue) {
    CParamValueList values = ValuesFor({"Delay"});
    const EditResult result = EditValue(values, 0, "7.5");
    EXPECT_EQ(result.outcome, EditOutcome::Stored);
    EXPECT_EQ(result.previousDisplay, "5.0");
    EXPECT_EQ(result.stored, "75");
    EXPECT_EQ(values.Value(0), "75");
    EXPECT_EQ(EditMessage(result.outcome), "");
}

TEST_F(ParamValuesTest, EditOfReadOnlyValueIsRefused) {
    CParamValueList values = ValuesFor({"State"});
    const EditResult result = EditValue(values, 0, "5");
    EXPECT_EQ(result.outcome, EditOutcome::ReadOnly);
    EXPECT_EQ(result.previousDisplay, "3");
    EXPECT_EQ(values.Value(0), "3");
    EXPECT_EQ(EditMessage(result.outcome),
              "Поле только для отображения, редактирвание недопустимо");
}

TEST_F(ParamValuesTest, EditWithBadFormatKeepsTheValue) {
    const struct {
        const char* plist;
        const char* entered;
        const char* previous;
    } cases[] = {
        {"Count", "+5", "9"},         {"Count", "1 2", "9"},   {"Count", "abc", "9"},
        {"Count", "3000000000", "9"}, {"Delay", "1e3", "5.0"}, {"Delay", "1.2.3", "5.0"},
        {"Delay", "7,5", "5.0"},      {"Siren", "да", "Да"},   {"Label", "a;b", "Пост"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.plist) + " <- " + c.entered);
        CParamValueList values = ValuesFor({c.plist});
        const std::string before(values.Value(0));
        const EditResult result = EditValue(values, 0, c.entered);
        EXPECT_EQ(result.outcome, EditOutcome::BadFormat);
        EXPECT_EQ(result.previousDisplay, c.previous);
        EXPECT_EQ(values.Value(0), before);
        EXPECT_EQ(EditMessage(result.outcome), "Неверный формат данных");
    }
}

TEST_F(ParamValuesTest, EditOfListStoresTheChosenIndex) {
    CParamValueList values = ValuesFor({"Mode"});
    const EditResult result = EditValue(values, 0, "Авто");
    EXPECT_EQ(result.outcome, EditOutcome::Stored);
    EXPECT_EQ(result.previousDisplay, "Выкл");
    EXPECT_EQ(values.Value(0), "2");
}

TEST_F(ParamValuesTest, EditIgnoresNoChoiceAndUnknownItemsSilently) {
    CParamValueList values = ValuesFor({"Mode"});
    EXPECT_EQ(EditValue(values, 0, std::nullopt).outcome, EditOutcome::Ignored);
    const EditResult unknown = EditValue(values, 0, "Турбо");
    EXPECT_EQ(unknown.outcome, EditOutcome::Ignored);
    EXPECT_EQ(EditMessage(unknown.outcome), "");
    EXPECT_EQ(values.Value(0), "0");
    EXPECT_EQ(EditValue(values, 7, "Вкл").outcome, EditOutcome::Ignored);
}

TEST_F(ParamValuesTest, EditOfYesNoAndText) {
    CParamValueList values = ValuesFor({"Label", "Siren"});
    EXPECT_EQ(EditValue(values, 1, "Нет").outcome, EditOutcome::Stored);
    EXPECT_EQ(values.Value(1), "0");
    EXPECT_EQ(EditValue(values, 0, "").outcome, EditOutcome::Stored);
    EXPECT_EQ(values.Value(0), "");
}

TEST_F(ParamValuesTest, EditOfValueWithoutDisplayFormStillConverts) {
    CParamValueList values = ValuesFor({"Mode"});
    ASSERT_TRUE(values.SetValue(0, "17")); // e.g. read from a newer device
    const EditResult result = EditValue(values, 0, "Вкл");
    EXPECT_EQ(result.outcome, EditOutcome::Stored);
    EXPECT_FALSE(result.previousDisplay.has_value());
    EXPECT_EQ(values.Value(0), "1");
}

// A device whose row cannot be written.
class CFailingValues final : public IParamValues {
public:
    explicit CFailingValues(const CParamDesc* desc) : desc_(desc) {}
    std::size_t Count() const override { return 1; }
    std::string_view Name(std::size_t) const override { return desc_->Name(); }
    std::string_view Value(std::size_t) const override { return "9"; }
    const CParamDesc* Desc(std::size_t) const override { return desc_; }
    bool SetValue(std::size_t, std::string_view) override { return false; }

private:
    const CParamDesc* desc_;
};

TEST_F(ParamValuesTest, EditReportsAValueThatCouldNotBeKept) {
    CFailingValues values(catalogue_[5].get());
    const EditResult result = EditValue(values, 0, "12");
    EXPECT_EQ(result.outcome, EditOutcome::StoreFailed);
    EXPECT_EQ(result.previousDisplay, "9");
    EXPECT_EQ(result.stored, "");
}

} // namespace
} // namespace tornu
