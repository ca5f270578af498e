#include "protocol/ErrorText.h"
#include "protocol/ConfigText.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace tornu {
namespace {

TEST(ErrorText, FourteenTextsAndNothingOutside) {
    std::string text = "stale";
    EXPECT_TRUE(GetErrorText(13, text));
    EXPECT_EQ(text, "Отрицательная квитанция от устройства на интерфейсе");
    for (int number : {-1, 14, INT_MIN}) {
        EXPECT_FALSE(GetErrorText(number, text)) << number;
        EXPECT_EQ(text, "");
    }
    EXPECT_EQ(ReadLenientInteger(" \t-12;x"), -12);
    EXPECT_EQ(ReadLenientInteger("99999999999999999999999"), INT_MAX);
}

struct JudgeCase {
    const char* name;
    int code;
    const char* data;
    const char* login;   // report to the login; "" when accepted
    const char* command; // report to command 17; "" when it goes to the handler
};

const JudgeCase kJudgeCases[] = {
    {"login_accepted", 6, "", "", "Неверный ответ на команду"},
    {"same_code", 17, "x", "Неверный пароль", ""},
    {"partition_password", 70, "6", "Ошибка пароля доступа к разделу",
     "Ошибка пароля доступа к разделу"},
    {"error_zero_is_a_failure", 70, "", "Нет ошибок", "Нет ошибок"},
    {"unknown_error", 70, "14", "Неверный пароль", "Неверный ответ на команду"},
    {"receipt_again", 4, "", "Неверный пароль", "Неверный ответ на команду"},
};

TEST(ErrorText, JudgesLoginAndCommandAnswers) {
    for (const JudgeCase& c : kJudgeCases) {
        SCOPED_TRACE(c.name);
        const CTermMessage answer(1, c.code, c.data);
        std::string login, command;
        EXPECT_EQ(JudgeLoginAnswer(answer, login), *c.login == '\0');
        EXPECT_EQ(login, c.login);
        EXPECT_EQ(JudgeCommandAnswer(17, answer, command), *c.command == '\0');
        EXPECT_EQ(command, c.command);
    }
}

} // namespace
} // namespace tornu
