// Whole exchanges over a scripted line: the modem dialogue, the receipt, the
// login and a command, each way they can fail, and a cancel from another
// thread. Every wait runs on the fake's clock; the same sessions run end to
// end against the simulator on a pseudo-terminal in tests/e2e.
#include "comms/Exchange.h"

#include "comms/FakeStream.h"
#include "comms/Modem.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/ReplyValue.h"
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
// Terminal 12's partition 1 asked for its status; DLYIN in the reply.
DeviceSnapshot Partition() {
    DeviceSnapshot device;
    device.terminal = 12;
    device.address = 1;
    device.password = "1";
    device.params = {{"DLYIN", "0", "0", true, true}};
    return device;
}
std::string Text(const CTermMessage& message) {
    std::string text;
    EXPECT_TRUE(message.BuildText(text));
    return text;
}
const std::string kCommand = Text(CTermMessage(12, 16, "RZD=01;PASS=1;"));
const std::string kReply = Text(CTermMessage(12, 16, "DLYIN=5;"));

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

class ExchangeOnFake : public ::testing::Test {
public: // the failure table's cases set the scene through it
    ExchangeOnFake() {
        settings.SetValue("Modem", "ComPort", "COM1");
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
    ExchangeJob Job() const {
        CommandSpec status;
        status.code = 16;
        return {phone, "link", Partition(), {{status, "Команда 16"}}};
    }
    // Runs the exchange to its end, taking each reply as the document does
    // and answering with `applied`; its status lines.
    Lines Run() {
        EXPECT_TRUE(exchange.Start(Job()));
        EXPECT_TRUE(test::Eventually([&] {
            PendingReply reply;
            if (exchange.TakeReply(reply)) {
                replies.push_back(reply.value);
                exchange.ReplyApplied(applied, stopOnFailure && !applied);
            }
            return exchange.GetState() != CExchange::kRunning;
        }));
        Lines lines;
        for (std::string text; exchange.PopStatus(text);)
            lines.push_back(text);
        return lines;
    }
    std::int32_t Result() const { return exchange.Results().at(0).state; }
    // Cancelled at the command: failed, nothing posted after the command's
    // line, the command not completed, the call hung up.
    void ExpectCancelledAtTheCommand() {
        EXPECT_EQ(exchange.GetState(), CExchange::kFailed);
        EXPECT_EQ(exchange.EndCause(), ExchangeEnd::kCancelled);
        Lines lines;
        for (std::string text; exchange.PopStatus(text);)
            lines.push_back(text);
        EXPECT_EQ(lines.back(), "Выполнение команды: Команда 16");
        EXPECT_EQ(Result(), kCommandNotCompleted);
        const Lines writes = Line().Writes();
        EXPECT_EQ(Lines(writes.end() - 2, writes.end()), (Lines{"+++", "ath0\r"}));
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
    std::string phone = "+79001234567";
    CResult applied;
    bool stopOnFailure = false; // the reply could not be stored at all
    std::vector<ReplyValue> replies;
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
    EXPECT_EQ(Result(), kCommandDone);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(std::get<StatusReply>(replies[0]).params,
              (std::vector<std::pair<std::string, std::string>>{{"DLYIN", "5"}}));
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
        ExchangeEnd cause; // what a caller that decides the next step (a fleet's queue) is told
        int result;        // the command's
        int commandFrames;
        bool closing = false;
    };
    const std::string noise("\0\x13#noise#\xFF\r\n", 13);
    const Case cases[] = {
        {"no phone", [](ExchangeOnFake& t) { t.phone.clear(); }, "ОШИБКА: Не задан номер телефона",
         CExchange::kFailed, ExchangeEnd::kNoPhone, kCommandNotCompleted, 0},
        {"port cannot be opened", [](ExchangeOnFake& t) { t.openError = "порт COM1 не найден"; },
         "ОШИБКА: Невозможно открыть порт модема: порт COM1 не найден", CExchange::kFailed,
         ExchangeEnd::kPortFailed, kCommandNotCompleted, 0},
        {"modem silent", [](ExchangeOnFake& t) { t.Line().When("at\r", ""); },
         "ОШИБКА: Модем не отвечает", CExchange::kFailed, ExchangeEnd::kModemSilent,
         kCommandNotCompleted, 0},
        {"busy", [](ExchangeOnFake& t) { t.Line().When("atd", "\r\nBUSY\r\n"); },
         "ОШИБКА: Невозможно установить соединение: абонент занят (BUSY)", CExchange::kFailed,
         ExchangeEnd::kBusy, kCommandNotCompleted, 0},
        {"unreadable receipt",
         [](ExchangeOnFake& t) { t.Line().When("atd", kConnect + Frame("00120")); },
         "ОШИБКА: Нет квитанции, нет данных", CExchange::kFailed, ExchangeEnd::kNoReceipt,
         kCommandNotCompleted, 0},
        {"receipt of another code",
         [](ExchangeOnFake& t) { t.Line().When("atd", kConnect + Frame(kAccepted)); },
         "ОШИБКА: Неверная команда в квитанции", CExchange::kFailed, ExchangeEnd::kBadReceipt,
         kCommandNotCompleted, 0},
        {"login unanswered", [](ExchangeOnFake& t) { t.Line().When(Sent(kLogin), ""); },
         "ОШИБКА: Неудачная попытка передачи пароля", CExchange::kFailed, ExchangeEnd::kNoReceipt,
         kCommandNotCompleted, 0},
        {"password refused",
         [](ExchangeOnFake& t) { t.Line().When(Sent(kLogin), Frame("00127000015")); },
         "ОШИБКА: Ошибка пароля доступа к терминалу", CExchange::kFailed,
         ExchangeEnd::kLoginRefused, kCommandNotCompleted, 0},
        {"error reply",
         [](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), Frame("00127000016")); },
         "ОШИБКА: Ошибка пароля доступа к разделу", CExchange::kFinished, ExchangeEnd::kCompleted,
         kCommandFailed, 1, true},
        {"garbage on the line",
         [&](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), noise + Frame(kReply)); }, "OK",
         CExchange::kFinished, ExchangeEnd::kCompleted, kCommandDone, 1, true},
        {"reply not stored",
         [](ExchangeOnFake& t) {
             t.applied = CResult::Fail("ошибка записи в базу данных: locked");
         },
         "ОШИБКА: Невозможно обработать команду: ошибка записи в базу данных: locked",
         CExchange::kFinished, ExchangeEnd::kCompleted, kCommandFailed, 1, true},
        {"database gone",
         [](ExchangeOnFake& t) {
             t.applied = CResult::Fail("ошибка записи в базу данных: no connection");
             t.stopOnFailure = true;
         },
         "ОШИБКА: Невозможно обработать команду: ошибка записи в базу данных: no connection",
         CExchange::kFailed, ExchangeEnd::kStoreFailed, kCommandFailed, 1, true},
        {"command unanswered", [](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), ""); },
         "ОШИБКА: Невозможно передать команду", CExchange::kFinished, ExchangeEnd::kLinkLost,
         kCommandFailed, CExchange::kAttempts, true},
        {"carrier lost at the command",
         [](ExchangeOnFake& t) { t.Line().When(Sent(kCommand), "\r\nNO CARRIER\r\n"); },
         "ОШИБКА: Невозможно передать команду: связь потеряна (NO CARRIER)", CExchange::kFinished,
         ExchangeEnd::kLinkLost, kCommandFailed, 1},
        {"device gone at the command",
         [](ExchangeOnFake& t) {
             t.Line().When(Sent(kCommand), "");
             t.Line().OnWrite([&t](std::string_view written) {
                 if (written == Sent(kCommand))
                     t.Line().Unplug();
             });
         },
         "ОШИБКА: Невозможно передать команду: связь потеряна (порт модема закрыт или отключен)",
         CExchange::kFinished, ExchangeEnd::kPortFailed, kCommandFailed, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_ = std::make_unique<CFakeStream>();
        openError.clear();
        phone = "+79001234567";
        applied = CResult::Ok();
        stopOnFailure = false;
        c.fault(*this);
        PlayTerminal();
        const Lines lines = Run();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.lastLine);
        EXPECT_EQ(exchange.GetState(), c.state);
        EXPECT_EQ(exchange.EndCause(), c.cause);
        EXPECT_EQ(Result(), c.result);
        EXPECT_EQ(Count(Sent(kCommand)), c.commandFrames);
        const Lines writes = Line().Writes();
        EXPECT_EQ(std::any_of(writes.begin(), writes.end(),
                              [](const std::string& w) { return w.starts_with("~00120200"); }),
                  c.closing);
    }
}

// Each wait of the session takes an answer that comes just before its
// time-out; one that comes just after is given up for: without the receipt
// the login cannot be formed, a late answer to a message has it sent again.
TEST_F(ExchangeOnFake, EachWaitTakesAnAnswerUpToItsTimeOut) {
    const struct {
        const char* name;
        std::string trigger; // the write the answer follows
        std::string answer;
        int timeOutMs;      // written out: the engine's constants are what is checked
        std::string resent; // the frame sent again when the answer is late
    } cases[] = {
        {"receipt", "atd", Frame(kReceipt), 10000, ""},
        {"login", Sent(kLogin), Frame(kAccepted), 5000, Sent(kLogin)},
        {"command", Sent(kCommand), Frame(kReply), 10000, Sent(kCommand)},
    };
    for (const auto& c : cases)
        for (const bool late : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (late ? " late" : " in time"));
            fake_ = std::make_unique<CFakeStream>();
            Line().When(c.trigger, c.trigger == "atd" ? kConnect : "");
            const int delay = c.timeOutMs + (late ? 1 : -1);
            Line().OnWrite([&, delay, first = true](std::string_view written) mutable {
                if (first && written.find(c.trigger) != std::string_view::npos) {
                    first = false;
                    Line().Queue(c.answer, delay);
                }
            });
            PlayTerminal();
            const Lines lines = Run();
            ASSERT_FALSE(lines.empty());
            if (c.resent.empty()) {
                EXPECT_EQ(lines.back(), late ? "ОШИБКА: Неудачная попытка передачи пароля" : "OK");
                EXPECT_EQ(Count(Sent(kLogin)), late ? 0 : 1);
            } else {
                EXPECT_EQ(lines.back(), "OK");
                EXPECT_EQ(Count(c.resent), late ? 2 : 1);
            }
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
    EXPECT_EQ(Result(), kCommandDone);
    EXPECT_EQ(Line().Writes().front(), "+EMUL\r");
    EXPECT_EQ(Count("at\r"), 0);
}

// The cancel comes from the test's thread while the worker waits for the
// command's reply: the wait ends at once, nothing more is posted or sent
// but the hang-up.
TEST_F(ExchangeOnFake, CancelFromAnotherThreadEndsTheWaitAndHangsUp) {
    EXPECT_FALSE(exchange.Start({}));
    Line().When(Sent(kCommand), "");
    PlayTerminal();
    Line().OnWrite([&](std::string_view written) {
        if (written == Sent(kCommand))
            Line().HoldNextIdleRead();
    });
    ASSERT_TRUE(exchange.Start(Job()));
    Line().WaitUntilHeld();
    EXPECT_FALSE(exchange.Start(Job())); // still running
    exchange.RequestCancel();
    EXPECT_TRUE(exchange.Cancel());
    ExpectCancelledAtTheCommand();
    const Lines writes = Line().Writes();
    EXPECT_EQ(writes.at(writes.size() - 3), Sent(kCommand));
}

// A reply taken but not yet applied holds the worker; a cancel ends the wait
// without the "OK", and the call is hung up.
TEST_F(ExchangeOnFake, CancelWhileAReplyIsBeingApplied) {
    PlayTerminal();
    ASSERT_TRUE(exchange.Start(Job()));
    PendingReply reply;
    ASSERT_TRUE(test::Eventually([&] { return exchange.TakeReply(reply); }));
    EXPECT_FALSE(exchange.TakeReply(reply)); // once
    EXPECT_EQ(exchange.GetState(), CExchange::kRunning);
    EXPECT_TRUE(exchange.Cancel());
    exchange.ReplyApplied(CResult::Ok()); // too late: nobody waits
    ExpectCancelledAtTheCommand();
}
