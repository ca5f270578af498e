#include "protocol/ErrorText.h"

#include "protocol/ConfigText.h"

#include <array>

namespace tornu {
namespace {

constexpr std::array<std::string_view, kErrorTextCount> kErrorTexts = {
    "Нет ошибок",
    "Сбой канала связи",
    "Неверная контрольная сумма",
    "Неверная команда (не обрабатывается данной версией)",
    "Ошибка адреса терминала",
    "Ошибка пароля доступа к терминалу",
    "Ошибка пароля доступа к разделу",
    "Отсутствует запрашиваемый раздел",
    "Неверный формат команды",
    "Переполнение буфера приема терминала",
    "Не принят пакет с паролем",
    "Ошибка администрирования, не верный раздел или пароль администратора",
    "Не отвечает устройство интерфейса",
    "Отрицательная квитанция от устройства на интерфейсе",
};

// The text of a known error reply, else `fallback`.
std::string ErrorReport(const CTermMessage& answer, std::string_view fallback) {
    std::string text;
    if (answer.GetCode() == kCodeError && GetErrorText(ReadErrorNumber(answer), text))
        return text;
    return std::string(fallback);
}

} // namespace

bool GetErrorText(int number, std::string& text) {
    if (number < 0 || number >= kErrorTextCount) {
        text.clear();
        return false;
    }
    text = kErrorTexts[static_cast<std::size_t>(number)];
    return true;
}

int ReadErrorNumber(const CTermMessage& reply) {
    return ReadLenientInteger(reply.GetData());
}

bool JudgeLoginAnswer(const CTermMessage& answer, std::string& report) {
    if (answer.GetCode() == kCodeLoginAccepted)
        return true;
    report = ErrorReport(answer, kReportBadPassword);
    return false;
}

bool JudgeCommandAnswer(int commandCode, const CTermMessage& answer, std::string& report) {
    if (answer.GetCode() == commandCode)
        return true;
    report = ErrorReport(answer, kReportWrongAnswer);
    return false;
}

} // namespace tornu
