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

const std::nullopt_t kFails = std::nullopt;

// ---- Reading and converting

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

enum Direction { kToDisplay, kToStored };

// Stored to display (none: no stored value) and display to stored.
TEST(ParamConversion, BothWays) {
    const struct {
        Direction direction;
        const char* desc; // appended to "NAME=P;DESC=П;DTYPE=IO;"
        std::optional<std::string> from;
        std::optional<std::string> to; // none: the conversion fails
    } cases[] = {
        {kToDisplay, "VTYPE=N", " \t-42 \r\n", "-42"},
        {kToDisplay, "VTYPE=N", "+5", kFails},
        {kToDisplay, "VTYPE=N;IEXPR=(VAL+1", "10", kFails},
        {kToDisplay, "VTYPE=F2;IEXPR=VAL/0", "1", kFails},
        {kToDisplay, "VTYPE=F", "1,5", kFails},
        {kToDisplay, "VTYPE=N", "2147483648", kFails},
        {kToDisplay, "VTYPE=N;IEXPR=VAL/3", "-10", "-3"},
        {kToDisplay, "VTYPE=N;IEXPR=VAL*1000000", "5000", kFails},
        {kToDisplay, "VTYPE=F3;IEXPR=VAL/1000", "12345", "12.345"},
        {kToDisplay, "VTYPE=F0;IEXPR=VAL/10", "45", "4"}, // half to even
        {kToDisplay, "VTYPE=S", " Пост 1 ", " Пост 1 "},
        {kToDisplay, "VTYPE=B", "-1", "Да"},
        {kToDisplay, "VTYPE=L;LIST=A,,C", "1", ""},
        {kToDisplay, "VTYPE=L;LIST=A,B,C", "3", kFails},
        {kToDisplay, "VTYPE=L;LIST=A,B,C", "B", kFails},
        // No stored value: the default.
        {kToDisplay, "VTYPE=F1;IEXPR=VAL/10;DEFLT=50", std::nullopt, "5.0"},
        {kToDisplay, "VTYPE=N", std::nullopt, kFails},
        {kToStored, "VTYPE=N", "+5", kFails},
        {kToStored, "VTYPE=F1;OEXPR=VAL*10", ".", "0"},
        {kToStored, "VTYPE=F;OEXPR=VAL/0", "0", kFails},
        {kToStored, "VTYPE=N;OEXPR=VAL/4", "-7", "-1"},
        {kToStored, "VTYPE=N;OEXPR=VAL*1000000", "5000", kFails},
        {kToStored, "VTYPE=F1;OEXPR=VAL*10", "-0.55", "-5"}, // towards zero
        {kToStored, "VTYPE=F2;OEXPR=VAL*100", "0.29", "29"}, // a rounding error is not truncated
        {kToStored, "VTYPE=F1;OEXPR=VAL*10", "7,5", kFails},
        {kToStored, "VTYPE=F", "2147483648", kFails},
        {kToStored, "VTYPE=S", "a=b", "a=b"},
        {kToStored, "VTYPE=S", "a;MODE=5", kFails}, // no text that could break a message
        {kToStored, "VTYPE=B", "Да", "1"},
        {kToStored, "VTYPE=B", "да", kFails},
        {kToStored, "VTYPE=L;LIST=A,B,B", "B", "1"},
        {kToStored, "VTYPE=L;LIST=A,B,C", "1", kFails},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.direction == kToDisplay ? "shown " : "stored ") + c.desc + " " +
                     c.from.value_or("-"));
        const CParamDesc desc = MakeDesc(std::string("NAME=P;DESC=П;DTYPE=IO;") + c.desc);
        std::string converted = "untouched";
        EXPECT_EQ(c.direction == kToDisplay ? desc.ToDisplay(c.from, converted)
                                            : desc.FromDisplay(*c.from, converted),
                  c.to.has_value());
        EXPECT_EQ(converted, c.to.value_or("untouched"));
    }
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
        for (const char* text :
             {"NAME=Delay;DESC=Задержка;VTYPE=F1;DTYPE=IO;DEFLT=50;IEXPR=VAL/10;OEXPR=VAL*10",
              "NAME=State;DESC=Состояние;VTYPE=N;DTYPE=I;DEFLT=3",
              "NAME=Mode;DESC=Режим;VTYPE=L;DTYPE=O;LIST=Выкл,Вкл,Авто;DEFLT=0",
              "NAME=Label;DESC=Надпись;VTYPE=S;DTYPE=IO;DEFLT=Пост",
              "NAME=Siren;DESC=Сирена;VTYPE=B;DTYPE=O;DEFLT=1",
              "NAME=Count;DESC=Счёт;VTYPE=N;DTYPE=O;DEFLT=9"})
            catalogue_.push_back(std::make_unique<CParamDesc>(MakeDesc(text)));
    }
    CParamValueList ValuesFor(const std::vector<std::string>& plist) const {
        return CParamValueList(SelectDeviceParams(catalogue_, plist));
    }
    std::vector<std::unique_ptr<CParamDesc>> catalogue_;
};

TEST_F(ParamValuesTest, EditStoresTheConvertedValueOrSaysWhyNot) {
    const struct {
        const char* plist;
        std::optional<std::string> entered;
        EditOutcome outcome;
        std::optional<std::string> previous;
        const char* value; // after the edit
    } cases[] = {
        {"Delay", "7.5", EditOutcome::Stored, "5.0", "75"},
        {"Mode", "Авто", EditOutcome::Stored, "Выкл", "2"},
        {"Label", "", EditOutcome::Stored, "Пост", ""},
        {"State", "5", EditOutcome::ReadOnly, "3", "3"},
        {"Count", "+5", EditOutcome::BadFormat, "9", "9"},
        {"Label", "a;b", EditOutcome::BadFormat, "Пост", "Пост"},
        {"Mode", std::nullopt, EditOutcome::Ignored, "Выкл", "0"},
        {"Mode", "Турбо", EditOutcome::Ignored, "Выкл", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.plist) + " <- " + c.entered.value_or("(none)"));
        CParamValueList values = ValuesFor({c.plist});
        const EditResult result = EditValue(values, 0, c.entered);
        EXPECT_EQ(result.outcome, c.outcome);
        if (c.outcome != EditOutcome::Ignored) {
            EXPECT_EQ(result.previousDisplay, c.previous);
        }
        EXPECT_EQ(values.Value(0), c.value);
    }

    CParamValueList values = ValuesFor({"Mode"});
    EXPECT_EQ(EditValue(values, 7, "Вкл").outcome, EditOutcome::Ignored);
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
