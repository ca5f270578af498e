#include "comms/Exchange.h"

#include "catalogue/CommandDesc.h"
#include "comms/ExchangeTarget.h"
#include "comms/TimeScale.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/TermMessage.h"
#include "settings/IniFile.h"

#include "PtyHelpers.h"
#include "TestUtil.h"

#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using namespace tornu;
using tornu::test::Eventually;
using tornu::test::PtyPair;
using tornu::test::ReadBytes;
using tornu::test::TempDir;

namespace {

const std::string kPhone = "89160000007";
const std::string kPassword = "link";

// Plays the modem and, once the call stands, terminal 7 behind it: the
// receipt, acceptance of the login and an answer "R<code>" to each command,
// unless a reply or silence is set for its code. inDataMode tells when the
// program listens for data, so that the receipt is not taken for modem output.
// The script is set before Begin and read by the line's thread only.
class FakeLine {
public:
    FakeLine(PtyPair& pty, std::function<bool()> inDataMode)
        : pty_(pty), inDataMode_(std::move(inDataMode)) {}
    ~FakeLine() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    void Begin() {
        thread_ = std::thread([this] { Run(); });
    }

    std::string dialReply = "\r\nCONNECT 9600\r\n";
    bool receipt = true;
    std::map<int, CTermMessage> replies; // by the code received
    std::set<int> silent;

    std::vector<std::string> Commands() const { return Locked(commands_); }
    // Frame texts received, check digits removed.
    std::vector<std::string> Frames() const { return Locked(frames_); }

private:
    template <typename T> T Locked(const T& value) const {
        std::lock_guard lock(mutex_);
        return value;
    }
    void Run() {
        while (!stop_) {
            pollfd p{pty_.Master(), POLLIN, 0};
            char buffer[256];
            const ssize_t n = poll(&p, 1, 10) > 0 ? read(pty_.Master(), buffer, sizeof buffer) : 0;
            for (ssize_t i = 0; i < n; ++i)
                dataMode_ ? OnData(buffer[i]) : OnCommandByte(buffer[i]);
        }
    }
    void OnCommandByte(char c) {
        if (c != '\r') {
            line_ += c;
            return;
        }
        const std::string command = std::exchange(line_, {});
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(command);
        }
        if (command == "+EMUL")
            return Connected();
        pty_.Write(command.starts_with("atd") ? dialReply : "\r\nOK\r\n");
        if (command.starts_with("atd") && dialReply.find("CONNECT") != std::string::npos)
            Connected();
    }
    void Connected() {
        dataMode_ = true;
        pluses_ = 0;
        Eventually(inDataMode_);
        if (receipt)
            Send(CTermMessage(7, 4));
    }
    void OnData(char c) {
        pluses_ = c == '+' ? pluses_ + 1 : 0;
        if (pluses_ == 3) {
            dataMode_ = false;
            pty_.Write("\r\nOK\r\n");
        } else if (c == '~') {
            frame_ = "~";
        } else if (c == '\r' && !frame_.empty()) {
            OnFrame(frame_.substr(1, frame_.size() - 3));
            frame_.clear();
        } else if (!frame_.empty()) {
            frame_ += c;
        }
    }
    void OnFrame(const std::string& text) {
        {
            std::lock_guard lock(mutex_);
            frames_.push_back(text);
        }
        CTermMessage in;
        in.ReadText(text);
        const int code = in.GetCode();
        if (silent.count(code) || code == 2)
            return;
        if (replies.count(code))
            return Send(replies[code]);
        Send(code == 4 ? CTermMessage(7, 6) : CTermMessage(7, code, "R" + std::to_string(code)));
    }
    void Send(const CTermMessage& message) {
        std::string text;
        message.BuildText(text);
        pty_.Write("~" + text + HexByte(Crc8(text)) + "\r\n");
    }

    PtyPair& pty_;
    std::function<bool()> inDataMode_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::vector<std::string> frames_;
    std::string line_;
    std::string frame_;
    int pluses_ = 0;
    bool dataMode_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class FakeTarget : public CExchangeTarget {
public:
    std::string phone = kPhone;
    std::set<int> unbuildable;
    std::vector<std::string> processed; // reply data, in order

    std::string Phone() const override { return phone; }
    std::string LinkPassword() const override { return kPassword; }
    bool BuildCommand(const CCommandDesc& command, CTermMessage& message) override {
        if (unbuildable.count(command.Code()))
            return false;
        message.SetCode(command.Code());
        message.SetData("C" + std::to_string(command.Code()));
        return true;
    }
    bool ProcessReply(const CCommandDesc&, const CTermMessage& reply) override {
        processed.push_back(reply.GetData());
        return true;
    }
};

using Lines = std::vector<std::string>;

class ExchangeOverPty : public ::testing::Test {
protected:
    ExchangeOverPty() {
        settings_.SetValue("Modem", "ComPort", pty_.SlavePath());
        exchange_.SetModemLogFolder(dir_.Path());
        for (int code : {39, 22, 40}) {
            commands_.emplace_back();
            commands_.back().Read("C" + std::to_string(code), "NUM=" + std::to_string(code) +
                                                                  ";TYPE=T;DESC=Команда " +
                                                                  std::to_string(code));
        }
    }

    // Runs an exchange with the first `count` commands to its end.
    Lines Run(std::size_t count) {
        std::vector<CCommandDesc*> chosen;
        for (std::size_t i = 0; i < count; ++i)
            chosen.push_back(&commands_[i]);
        line_.Begin();
        EXPECT_TRUE(exchange_.Start(&target_, chosen));
        EXPECT_TRUE(Eventually([&] { return exchange_.GetState() != CExchange::kRunning; }));
        return PopAll();
    }
    Lines PopAll() {
        Lines lines;
        for (std::string line; exchange_.PopStatus(line);)
            lines.push_back(line);
        return lines;
    }
    std::string ModemLog() const { return ReadBytes(dir_ / CModem::LogFileName(pty_.SlavePath())); }
    int Result(std::size_t i) const { return commands_[i].ResultState(); }

    const Lines kDialled = {"Начало обмена", "Инициализация модема ...",
                            "Дозвон (# " + kPhone + ") ...", "Ожидание квитанции ..."};

    // Short enough for five silent 10-second attempts, long enough for the
    // fake's replies on a loaded machine.
    CScopedTimeScale fast_{0.05};
    TempDir dir_;
    PtyPair pty_;
    CIniFile settings_;
    FakeTarget target_;
    std::vector<CCommandDesc> commands_;
    CExchange exchange_{settings_};
    FakeLine line_{pty_, [this] { return exchange_.Modem().IsDataMode(); }};
};

Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_F(ExchangeOverPty, FullSessionWithTwoCommands) {
    settings_.SetValue("Modem", "Init", "ATS7=60");
    EXPECT_EQ(Run(2), Concat(kDialled, {"Выполнение команды: Команда 39", "OK",
                                        "Выполнение команды: Команда 22", "OK"}));
    EXPECT_EQ(exchange_.GetState(), CExchange::kFinished);
    EXPECT_EQ(Result(0), kCommandDone);
    EXPECT_EQ(Result(1), kCommandDone);
    EXPECT_EQ(target_.processed, (Lines{"R39", "R22"}));
    EXPECT_EQ(line_.Frames(),
              (Lines{"0007040004link", "0007390003C39", "0007220003C22", "000702000222"}));
    const Lines at = line_.Commands();
    ASSERT_GE(at.size(), 4u);
    EXPECT_EQ(Lines(at.begin(), at.begin() + 4),
              (Lines{CModem::kDefaultInit, "ATS7=60", "at", "atd" + kPhone}));
    EXPECT_NE(ModemLog().find("SEND COMMAND    - [ath0]"), std::string::npos);
}

TEST_F(ExchangeOverPty, WrongLinkPassword) {
    line_.replies[4] = CTermMessage(7, 70, "5");
    EXPECT_EQ(Run(2), Concat(kDialled, {"ОШИБКА: Ошибка пароля доступа к терминалу"}));
    EXPECT_EQ(exchange_.GetState(), CExchange::kFailed);
    EXPECT_EQ(Result(0), kCommandNotCompleted);
    EXPECT_EQ(line_.Frames(), Lines{"0007040004link"});
    EXPECT_NE(ModemLog().find("SEND COMMAND    - [ath0]"), std::string::npos);
}

TEST_F(ExchangeOverPty, ErrorReplyToOneCommandAmongThree) {
    line_.replies[22] = CTermMessage(7, 70, "6");
    const Lines lines = Run(3);
    EXPECT_EQ(lines.at(7), "ОШИБКА: Ошибка пароля доступа к разделу");
    EXPECT_EQ(exchange_.GetState(), CExchange::kFinished);
    EXPECT_EQ(Result(0), kCommandDone);
    EXPECT_EQ(Result(1), kCommandFailed);
    EXPECT_EQ(commands_[1].ResultText(), "ОШИБКА: Ошибка пароля доступа к разделу");
    EXPECT_EQ(Result(2), kCommandDone);
    EXPECT_EQ(line_.Frames().back(), "000702000240");
}

TEST_F(ExchangeOverPty, SilentTerminalStopsTheCommands) {
    line_.silent.insert(39);
    EXPECT_EQ(Run(2), Concat(kDialled, {"Выполнение команды: Команда 39",
                                        "ОШИБКА: Невозможно передать команду"}));
    EXPECT_EQ(exchange_.GetState(), CExchange::kFinished);
    EXPECT_EQ(Result(0), kCommandFailed);
    EXPECT_EQ(Result(1), kCommandNotCompleted);
    const Lines frames = line_.Frames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), "0007390003C39"), CExchange::kAttempts);
    // The closing message carries the code last built: nothing was read after it.
    EXPECT_EQ(frames.back(), "000702000239");
}

TEST_F(ExchangeOverPty, BusyOnDialling) {
    line_.dialReply = "\r\nBUSY\r\n";
    EXPECT_EQ(Run(1),
              (Lines{"Начало обмена", "Инициализация модема ...", "Дозвон (# " + kPhone + ") ...",
                     "ОШИБКА: Невозможно установить соединение: абонент занят (BUSY)"}));
    EXPECT_EQ(exchange_.GetState(), CExchange::kFailed);
    EXPECT_NE(ModemLog().find("---------------CLOSE"), std::string::npos);
}

TEST_F(ExchangeOverPty, NoReceiptLeavesTheLoginUnformed) {
    line_.receipt = false;
    EXPECT_EQ(Run(1), Concat(kDialled, {"ОШИБКА: Неудачная попытка передачи пароля"}));
    EXPECT_EQ(exchange_.GetState(), CExchange::kFailed);
    EXPECT_TRUE(line_.Frames().empty());
}

TEST_F(ExchangeOverPty, CancelDuringTheCommandPhase) {
    line_.silent.insert(22);
    std::vector<CCommandDesc*> chosen = {&commands_[0], &commands_[1], &commands_[2]};
    line_.Begin();
    ASSERT_TRUE(exchange_.Start(&target_, chosen));
    ASSERT_TRUE(Eventually([&] { return line_.Frames().size() == 3; })); // login, 39, 22
    EXPECT_TRUE(exchange_.Cancel());
    EXPECT_EQ(exchange_.GetState(), CExchange::kFailed);
    EXPECT_EQ(PopAll(), Concat(kDialled, {"Выполнение команды: Команда 39", "OK",
                                          "Выполнение команды: Команда 22"}));
    EXPECT_EQ(Result(1), kCommandNotCompleted);
    EXPECT_EQ(line_.Frames().back(), "0007220003C22"); // no closing message
    const std::string log = ModemLog();
    EXPECT_NE(log.find("SEND COMMAND    - [ath0]"), std::string::npos);
    EXPECT_NE(log.find("---------------CLOSE"), std::string::npos);
}

TEST_F(ExchangeOverPty, EmulationSkipsTheModemDialogue) {
    settings_.SetValue("Modem", "Emul", "1");
    // A cancel leaves the packet event set; it must not pass for the receipt.
    exchange_.Cancel();
    EXPECT_EQ(Run(1), (Lines{"Начало обмена", "Инициализация модема ...",
                             "Соединение в режиме эмуляции ...", "Ожидание квитанции ...",
                             "Выполнение команды: Команда 39", "OK"}));
    EXPECT_EQ(exchange_.GetState(), CExchange::kFinished);
    EXPECT_EQ(line_.Commands().at(0), "+EMUL");
}

TEST_F(ExchangeOverPty, RefusedStartsAndMissingPhone) {
    EXPECT_FALSE(exchange_.Start(nullptr, {&commands_[0]}));
    EXPECT_FALSE(exchange_.Start(&target_, {}));
    target_.phone.clear();
    EXPECT_EQ(Run(1), (Lines{"Начало обмена", "ОШИБКА: Не задан номер телефона"}));
    EXPECT_EQ(exchange_.GetState(), CExchange::kFailed);
    EXPECT_TRUE(line_.Commands().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path())); // the port was not opened
}
