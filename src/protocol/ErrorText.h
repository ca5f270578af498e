#pragma once
// How the exchange judges the terminal's answers: the texts of the terminal's
// error numbers (carried by an error reply, code 70) and the report texts of
// each protocol outcome.
#include "protocol/TermMessage.h"

#include <string>
#include <string_view>

namespace tornu {

// Message codes with fixed meaning in a session.
inline constexpr int kCodeEndOfSession = 2;
inline constexpr int kCodeReceipt = 4; // the terminal's receipt, and the login
inline constexpr int kCodeLoginAccepted = 6;
inline constexpr int kCodeError = 70;

// Report texts of the exchange.
inline constexpr std::string_view kReportErrorPrefix = "ОШИБКА: ";
inline constexpr std::string_view kReportWaitingReceipt = "Ожидание квитанции ...";
inline constexpr std::string_view kReportNoReceipt = "Нет квитанции, нет данных";
inline constexpr std::string_view kReportBadReceipt = "Неверная команда в квитанции";
inline constexpr std::string_view kReportLoginNotSent = "Неудачная попытка передачи пароля";
inline constexpr std::string_view kReportBadPassword = "Неверный пароль";
inline constexpr std::string_view kReportCommandStarted = "Выполнение команды: ";
inline constexpr std::string_view kReportCannotBuild = "Невозможно создать команду";
// Causes added to kReportCannotBuild ("...: " + cause).
inline constexpr std::string_view kRefusalNoNewPassword = "не задан новый пароль";
inline constexpr std::string_view kRefusalUnsafePassword =
    "пароль содержит символ \";\", \"~\" или перевод строки";
inline constexpr std::string_view kReportCannotSend = "Невозможно передать команду";
inline constexpr std::string_view kReportWrongAnswer = "Неверный ответ на команду";
inline constexpr std::string_view kReportCannotProcess = "Невозможно обработать команду";
// A reply to a command with an output file that carried no "FILE".
inline constexpr std::string_view kReportNoFileInReply =
    "В ответе нет файла, выходной файл не записан";
inline constexpr std::string_view kReportOk = "OK";

// The terminal's error numbers run from 0 to kErrorTextCount - 1.
inline constexpr int kErrorTextCount = 14;

// The text of a terminal error number: true for 0 to 13; otherwise `text`
// is emptied and the result is false.
bool GetErrorText(int number, std::string& text);

// The error number of an error reply: its data text read leniently
// (ReadLenientInteger).
int ReadErrorNumber(const CTermMessage& reply);

// The answer to the login. True when it accepts (code 6); otherwise false
// and `report` is the error's text for a known error reply, else
// "Неверный пароль".
bool JudgeLoginAnswer(const CTermMessage& answer, std::string& report);

// The answer to a command. True when it carries the command's code and goes
// on to the reply handler; otherwise false and `report` is the error's text
// for a known error reply, else "Неверный ответ на команду". An error reply
// with number 0 is a failure too ("Нет ошибок").
bool JudgeCommandAnswer(int commandCode, const CTermMessage& answer, std::string& report);

} // namespace tornu
