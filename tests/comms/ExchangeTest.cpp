// Whole exchanges over a scripted line: the modem dialogue, the receipt, the
// login and a command, each way they can fail, and a cancel from another
// thread. Every wait runs on the fake's clock; the same sessions run end to
// end against the simulator on a pseudo-terminal in tests/e2e.
#include "comms/Exchange.h"

#include "catalogue/CommandDesc.h"
#include "comms/ExchangeTarget.h"
#include "comms/FakeStream.h"
#include "comms/Modem.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/TermMessage.h"
#include "settings/IniFile.h"

#include "ModemLog.h"
#include "PtyHelpers.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tornu;

namespace {

using Lines = std::vector<std::string>;

const std::string kOk = "\r\nOK\r\n";
const std::string kConnect = "\r\nCONNECT 9600\r\n";
const std::string kReceipt = "0012040000";
const std::string kLogin = "0012040004link";
const std::string kAccepted = "0012060000";
const std::string kCommand = "0012160001Q";
const std::string kReply = "0012160003R=1";

// A packet as the terminal frames it, its check digits spoilt by `damage`.
std::string Frame(const std::string& text, int damage = 0) {
    return "~" + text + HexByte(static_cast<std::uint8_t>(Crc8(text) ^ damage)) + "\r\n";
}

// A message as the configurator frames it.
std::string Sent(const std::string& text) {
    return "~" + text + HexByte(Crc8(text)) + "\r";
}

// Lends the test's line to the exchange, which owns what its factory gives.
class CLentStream : public IByteStream {
public:
    explicit CLentStream(IByteStream& line) : line_(line) {}
    StreamStatus Read(std::string& into, int timeoutMs) override {
        return line_.Read(into, timeoutMs);
    }
    using IByteStream::Write;
    bool Write(const void* bytes, std::size_t length) override {
        return line_.Write(bytes, length);
    }
    void Purge() override { line_.Purge(); }
    bool SetDtr(bool on) override { return line_.SetDtr(on); }
    bool SetRts(bool on) override { return line_.SetRts(on); }
    bool Sleep(int ms) override { return line_.Sleep(ms); }
    std::int64_t NowMs() const override { return line_.NowMs(); }
    void Interrupt() override { line_.Interrupt(); }

private:
    IByteStream& line_;
};

// Builds each command as its code and "Q"; keeps the replies it is given.
class CScriptTarget : public CExchangeTarget {
public:
    std::string Phone() const override { return phone; }
    std::string LinkPassword() const override { return "link"; }
    bool BuildCommand(const CCommandDesc& command, CTermMessage& message) override {
        message.SetCode(command.Code());
        message.SetData("Q");
        return true;
    }
    bool ProcessReply(const CCommandDesc&, const CTermMessage& reply) override {
        replies.push_back(reply.GetData());
        return true;
    }

    std::string phone = "+79001234567";
    Lines replies;
};

class ExchangeOnFake : public ::testing::Test {
public: // the failure table's cases set the scene through it
    ExchangeOnFake() {
        settings.SetValue("Modem", "ComPort", "COM1");
        EXPECT_TRUE(command.Read("C16", "NUM=16;TYPE=T;DESC=Команда 16"));
        exchange.SetModemLogFolder(dir.Path());
        exchange.SetStreamFactory([this](const std::string& port, std::uint32_t,
                                         CResult& why) -> std::unique_ptr<IByteStream> {
            opened = port;
            if (!openError.empty()) {
                why = CResult::Fail(openError);
                return nullptr;
            }
            return std::make_unique<CLentStream>(Line());
        });
    }

    // The modem and the terminal as they answer when all is well; rules a
    // test adds first take precedence.
    void PlayTerminal() {
        Line().When("AT&F", kOk);
        Line().When("at\r", kOk);
        Line().When("atd", kConnect + Frame(kReceipt));
        Line().When("+EMUL", Frame(kReceipt));
        Line().When(Sent(kLogin), Frame(kAccepted));
        Line().When(Sent(kCommand), Frame(kReply));
        Line().When("+++", kOk);
        Line().When("ath0", kOk);
    }
    // Runs the exchange to its end; its status lines.
    Lines Run() {
        EXPECT_TRUE(exchange.Start(&target, {&command}));
        EXPECT_TRUE(test::Eventually([&] { return exchange.GetState() != CExchange::kRunning; }));
        Lines lines;
        for (std::string text; exchange.PopStatus(text);)
            lines.push_back(text);
        return lines;
    }
    int Count(const std::string& written) {
        const Lines writes = Line().Writes();
        return static_cast<int>(std::count(writes.begin(), writes.end(), written));
    }

    test::TempDir dir;
    CIniFile settings;
    std::unique_ptr<CFakeStream> fake_ = std::make_unique<CFakeStream>();
    CFakeStream& Line() { return *fake_; }
    std::string opened;
    std::string openError;
    CScriptTarget target;
    CCommandDesc command;
    // Last, so that it ends before what its worker uses goes.
    CExchange exchange{settings};
};

} // namespace

TEST_F(ExchangeOnFake, ASessionByteForByte) {
    PlayTerminal();
    EXPECT_EQ(Run(),
              (Lines{"Начало обмена", "Инициализация модема ...", "Дозвон (# +79001234567) ...",
                     "Ожидание квитанции ...", "Выполнение команды: Команда 16", "OK"}));
    EXPECT_EQ(exchange.GetState(), CExchange::kFinished);
    EXPECT_EQ(command.ResultState(), kCommandDone);
    EXPECT_EQ(target.replies, Lines{"R=1"});
    EXPECT_EQ(opened, "COM1");
    // The closing message carries the last code read.
    EXPECT_EQ(Line().Writes(),
              (Lines{"AT&FE0Q0V1&C1&D2S0=0\r", "at\r", "atd+79001234567\r", Sent(kLogin),
                     Sent(kCommand), Sent("001202000216"), "+++", "ath0\r"}));
    EXPECT_TRUE(Line().Dtr());
    EXPECT_EQ(test::ModemLogLines(dir / "COM1_modem.log"),
              (Lines{"---------------OPEN--------------------",
                     "SEND COMMAND    - [AT&FE0Q0V1&C1&D2S0=0]", "ANSWER          - [OK]",
                     "SEND COMMAND    - [at]", "ANSWER          - [OK]",
                     "SEND COMMAND    - [atd+79001234567]", "ANSWER          - [CONNECT 9600]",
                     "ANSWER          - [OK]", "SEND COMMAND    - [ath0]", "ANSWER          - [OK]",
                     "---------------CLOSE--------------------"}));
}

TEST_F(ExchangeOnFake, EveryFailureSaysWhereItStopped) {
    struct Case {
        const char* name;
        std::function<void(ExchangeOnFake&)> fault;
        std::string lastLine;
        int state;
        int result; // the command's
        int commandFrames;
        bool closing = false;
    };
    const std::string noise("\0\x13#noise#\xFF\r\n", 13);
    const Case cases[] = {
        {"no phone", [](ExchangeOnFake& t) { t.target.phone.clear(); },
         "ОШИБКА: Не задан номер телефона", CExchange::kFailed, kCommandNotCompleted, 0},
        {"port cannot be opened", [](ExchangeOnFake& t) { t.openError = "порт COM1 не найден"; },
         "ОШИБКА: Невозможно открыть порт модема: порт COM1 не найден", CExchange::kFailed,
         kCommandNotCompleted, 0},
        {"modem silent", [](ExchangeOnFake& t) { t.Line().When("at\r", ""); },
         "ОШИБКА: Модем не отвечает", CExchange::kFailed, kCommandNotCompleted, 0},
        {"busy", [](ExchangeOnFake& t) { t.Line().When("atd", "\r\nBUSY\r\n"); },
         "ОШИБКА: Невозможно установить соединение: абонент занят (BUSY)", CExchange::kFailed,
         kCommandNotCompleted, 0},
        {"no receipt", [](ExchangeOnFake& t) { t.Line().When("atd", kConnect); },
         "ОШИБКА: Неудачная попытка передачи пароля", CExchange::kFailed, kCommandNotCompleted, 0},
        {"unreadable receipt",
         [](ExchangeOnFake& t) { t.Line().When("atd", kConnect + Frame("00120")); },
         "ОШИБКА: Нет квитанции, нет данных", CExchange::kFailed, kCommandNotCompleted, 0},
        {"receipt of another code",
         [](ExchangeOnFake& t) { t.Line().When("atd", kConnect + Frame(kAccepted)); },
         "ОШИБКА: Неверная команда в квитанции", CExchange::kFailed, kCommandNotCompleted, 0},
        {"login unanswered", [](ExchangeOnFake& t) { t.Line().When(Sent(kLogin), ""); },
         "ОШИБКА: Неудачная попытка передачи пароля", CExchange::kFailed, kCommandNotCompleted, 0},
        {"password refused",
         [](ExchangeOnFake& t) { t.Line().When(Sent(kLogin), Frame("00127000015")); },
         "ОШИБКА: Ошибка пароля доступа к терминалу", CExchange::kFailed, kCommandNotCompleted, 0},
        {"error reply",
         [](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), Frame("00127000016")); },
         "ОШИБКА: Ошибка пароля доступа к разделу", CExchange::kFinished, kCommandFailed, 1, true},
        {"reply lost once", [](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), "", 1); }, "OK",
         CExchange::kFinished, kCommandDone, 2, true},
        {"garbage on the line",
         [&](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), noise + Frame(kReply)); }, "OK",
         CExchange::kFinished, kCommandDone, 1, true},
        {"command unanswered", [](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), ""); },
         "ОШИБКА: Невозможно передать команду", CExchange::kFinished, kCommandFailed,
         CExchange::kAttempts, true},
        {"carrier lost at the command",
         [](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), "\r\nNO CARRIER\r\n"); },
         "ОШИБКА: Невозможно передать команду: связь потеряна (NO CARRIER)", CExchange::kFinished,
         kCommandFailed, 1},
        {"device gone at the command",
         [](ExchangeOnFake& t) {
             t.Line().When(Sent(kCommand), "");
             t.Line().OnWrite([&t](std::string_view written) {
                 if (written == Sent(kCommand))
                     t.Line().Unplug();
             });
         },
         "ОШИБКА: Невозможно передать команду: связь потеряна (порт модема закрыт или отключен)",
         CExchange::kFinished, kCommandFailed, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_ = std::make_unique<CFakeStream>();
        openError.clear();
        target.phone = "+79001234567";
        command.SetResult(kCommandNotCompleted);
        c.fault(*this);
        PlayTerminal();
        const Lines lines = Run();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.lastLine);
        EXPECT_EQ(exchange.GetState(), c.state);
        EXPECT_EQ(command.ResultState(), c.result);
        EXPECT_EQ(Count(Sent(kCommand)), c.commandFrames);
        const Lines writes = Line().Writes();
        EXPECT_EQ(std::any_of(writes.begin(), writes.end(),
                              [](const std::string& w) { return w.starts_with("~00120200"); }),
                  c.closing);
    }
}

// A dial that is never answered is given its full minute, on the line's clock.
TEST_F(ExchangeOnFake, AnUnansweredDialWaitsAMinute) {
    Line().When("atd", "");
    PlayTerminal();
    EXPECT_EQ(Run().back(),
              "ОШИБКА: Невозможно установить соединение: модем не ответил на набор номера");
    EXPECT_EQ(Line().NowMs(), CExchange::kPauseBeforeAtMs + CModem::kDialTimeoutMs);
}

TEST_F(ExchangeOnFake, EmulationSkipsTheModemDialogue) {
    settings.SetValue("Modem", "Emul", "1");
    PlayTerminal();
    const Lines lines = Run();
    EXPECT_EQ(lines.at(2), "Соединение в режиме эмуляции ...");
    EXPECT_EQ(command.ResultState(), kCommandDone);
    EXPECT_EQ(Line().Writes().front(), "+EMUL\r");
    EXPECT_EQ(Count("at\r"), 0);
}

// The cancel comes from the test's thread while the worker waits for the
// command's reply: the wait ends at once, nothing more is posted or sent
// but the hang-up.
TEST_F(ExchangeOnFake, CancelFromAnotherThreadEndsTheWaitAndHangsUp) {
    EXPECT_FALSE(exchange.Start(nullptr, {&command}));
    EXPECT_FALSE(exchange.Start(&target, {}));
    Line().When(Sent(kCommand), "");
    PlayTerminal();
    Line().OnWrite([&](std::string_view written) {
        if (written == Sent(kCommand))
            Line().HoldNextIdleRead();
    });
    ASSERT_TRUE(exchange.Start(&target, {&command}));
    Line().WaitUntilHeld();
    EXPECT_FALSE(exchange.Start(&target, {&command})); // still running
    exchange.RequestCancel();
    EXPECT_TRUE(exchange.Cancel());
    EXPECT_EQ(exchange.GetState(), CExchange::kFailed);
    Lines lines;
    for (std::string text; exchange.PopStatus(text);)
        lines.push_back(text);
    EXPECT_EQ(lines.back(), "Выполнение команды: Команда 16");
    EXPECT_EQ(command.ResultState(), kCommandNotCompleted);
    const Lines writes = Line().Writes();
    EXPECT_EQ(Lines(writes.end() - 3, writes.end()), (Lines{Sent(kCommand), "+++", "ath0\r"}));
}
