#include "protocol/ErrorText.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace tornu {
namespace {

TEST(ErrorText, JudgesLoginAndCommandAnswers) {
    std::string text = "stale";
    for (int number : {-1, 14, INT_MIN}) {
        EXPECT_FALSE(GetErrorText(number, text)) << number;
        EXPECT_EQ(text, "");
    }
    const struct {
        int code;
        const char* data;
        const char* login;   // report to the login; "" when accepted
        const char* command; // report to command 17; "" when it goes to the handler
    } cases[] = {
        {6, "", "", "Неверный ответ на команду"},
        {17, "x", "Неверный пароль", ""},
        {70, "6", "Ошибка пароля доступа к разделу", "Ошибка пароля доступа к разделу"},
        {70, "", "Нет ошибок", "Нет ошибок"}, // error 0 is still a failure
        {70, "14", "Неверный пароль", "Неверный ответ на команду"},
        {4, "", "Неверный пароль", "Неверный ответ на команду"},
    };
    for (const auto& c : cases) {
        const CTermMessage answer(1, c.code, c.data);
        std::string login, command;
        EXPECT_EQ(JudgeLoginAnswer(answer, login), *c.login == '\0') << c.code << c.data;
        EXPECT_EQ(login, c.login);
        EXPECT_EQ(JudgeCommandAnswer(17, answer, command), *c.command == '\0') << c.code;
        EXPECT_EQ(command, c.command);
    }
}

} // namespace
} // namespace tornu
