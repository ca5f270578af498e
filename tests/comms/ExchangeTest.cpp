// The exchange engine's own checks before any line is opened. The sessions
// themselves (dialling, login, commands, errors, silence, cancel, emulation)
// run end to end against the terminal simulator in tests/e2e.
#include "comms/Exchange.h"

#include "catalogue/CommandDesc.h"
#include "comms/ExchangeTarget.h"
#include "protocol/TermMessage.h"
#include "settings/IniFile.h"

#include "PtyHelpers.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

using namespace tornu;

namespace {

class NoPhoneTarget : public CExchangeTarget {
public:
    std::string Phone() const override { return ""; }
    std::string LinkPassword() const override { return "link"; }
    bool BuildCommand(const CCommandDesc&, CTermMessage&) override { return true; }
    bool ProcessReply(const CCommandDesc&, const CTermMessage&) override { return true; }
};

} // namespace

TEST(Exchange, RefusedStartsAndMissingPhone) {
    test::TempDir dir;
    test::PtyPair pty;
    CIniFile settings;
    settings.SetValue("Modem", "ComPort", pty.SlavePath());
    CExchange exchange(settings);
    exchange.SetModemLogFolder(dir.Path());
    CCommandDesc command;
    ASSERT_TRUE(command.Read("C39", "NUM=39;TYPE=T;DESC=Команда 39"));
    NoPhoneTarget target;
    EXPECT_FALSE(exchange.Start(nullptr, {&command}));
    EXPECT_FALSE(exchange.Start(&target, {}));

    ASSERT_TRUE(exchange.Start(&target, {&command}));
    EXPECT_TRUE(test::Eventually([&] { return exchange.GetState() != CExchange::kRunning; }));
    std::vector<std::string> lines;
    for (std::string line; exchange.PopStatus(line);)
        lines.push_back(line);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Начало обмена", "ОШИБКА: Не задан номер телефона"}));
    EXPECT_EQ(exchange.GetState(), CExchange::kFailed);
    EXPECT_EQ(command.ResultState(), kCommandNotCompleted);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())); // the port was not opened
}
