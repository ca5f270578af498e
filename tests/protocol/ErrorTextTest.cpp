#include "protocol/ErrorText.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace tornu {
namespace {

TEST(ErrorText, FourteenTextsAndNothingOutside) {
    std::string text = "stale";
    EXPECT_TRUE(GetErrorText(0, text));
    EXPECT_EQ(text, "Нет ошибок");
    EXPECT_TRUE(GetErrorText(6, text));
    EXPECT_EQ(text, "Ошибка пароля доступа к разделу");
    EXPECT_TRUE(GetErrorText(13, text));
    EXPECT_EQ(text, "Отрицательная квитанция от устройства на интерфейсе");
    for (int number : {-1, 14, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(GetErrorText(number, text)) << number;
        EXPECT_EQ(text, "");
    }
}

TEST(ErrorText, LeadingIntegerReadsLikeTheCLibraryWithoutOverflow) {
    EXPECT_EQ(ReadLeadingInteger(""), 0);
    EXPECT_EQ(ReadLeadingInteger("abc"), 0);
    EXPECT_EQ(ReadLeadingInteger(" \t12;x"), 12);
    EXPECT_EQ(ReadLeadingInteger("-7"), -7);
    EXPECT_EQ(ReadLeadingInteger("+5"), 5);
    EXPECT_EQ(ReadLeadingInteger("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadLeadingInteger("-99999999999999999999999"), INT_MIN);
}

struct JudgeCase {
    const char* name;
    int code;
    const char* data;
    bool accepted;
    const char* report;
};

const JudgeCase kLoginCases[] = {
    {"accepted", 6, "", true, ""},
    {"partition_password", 70, "6", false, "Ошибка пароля доступа к разделу"},
    {"error_zero_is_a_failure", 70, "", false, "Нет ошибок"},
    {"unknown_error", 70, "14", false, "Неверный пароль"},
    {"receipt_again", 4, "", false, "Неверный пароль"},
};

const JudgeCase kCommandCases[] = {
    {"same_code", 17, "garbage", true, ""},
    {"partition_password", 70, "6", false, "Ошибка пароля доступа к разделу"},
    {"error_zero_is_a_failure", 70, "", false, "Нет ошибок"},
    {"unknown_error", 70, "14", false, "Неверный ответ на команду"},
    {"other_code", 16, "1", false, "Неверный ответ на команду"},
};

TEST(ErrorText, JudgesLoginAnswers) {
    for (const JudgeCase& c : kLoginCases) {
        SCOPED_TRACE(c.name);
        std::string report;
        EXPECT_EQ(JudgeLoginAnswer(CTermMessage(1, c.code, c.data), report), c.accepted);
        EXPECT_EQ(report, c.report);
    }
}

TEST(ErrorText, JudgesCommandAnswers) {
    for (const JudgeCase& c : kCommandCases) {
        SCOPED_TRACE(c.name);
        std::string report;
        EXPECT_EQ(JudgeCommandAnswer(17, CTermMessage(1, c.code, c.data), report), c.accepted);
        EXPECT_EQ(report, c.report);
    }
}

} // namespace
} // namespace tornu
