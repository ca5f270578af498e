#pragma once
// A document on a real database in a fresh folder with the sample catalogue,
// terminal 12 (a БМ-4 with its built-in partition 0, a Раздел-8 at address 1
// and a Расширитель ШС-4 subordinate to it at 5), the terminal simulator on a
// pseudo-terminal that "ComPort" names, and the exchange engine between them.
// Every wait runs at a hundredth of its time.
#include "catalogue/CommandDesc.h"
#include "comms/Exchange.h"
#include "comms/PtyHelpers.h"
#include "comms/TimeScale.h"
#include "db/Device.h"
#include "doc/DocTestFixture.h"
#include "doc/NodeJob.h"
#include "tools/SimTestUtil.h"

#include <functional>
#include <mutex>

namespace tornu::test {

using Lines = std::vector<std::string>;

// The simulated terminal as the fixture's records describe it.
inline const char* const kSimState = R"([Terminal]
Number=12
LinkPassword=link

[Modem]
DialDelay=2000
ReceiptDelay=500

[Files]
Out.61=4A6F75726E616C0D0A

[Device 0]
Password=0000
Loop.1=3,1
Loop.2=3,0
Loop.3=3,8
Loop.4=8,2

[Device 1]
Password=part
System=1111
LastKey=2
Loop.5=9,0
Loop.6=9,8
Loop.7=3,1
Loop.8=3,0
Param.DLYIN=20
Param.DLYOUT=45
Param.OBJNAME=Офис
Phone.1=SMS,+79001234567,0000FF
Phone.2=DIA,+79007654321,000003
Key.0=540000001E3C5A01
Key.1=4500004433221101

[Device 5]
Master=1
Loop.9=2,0
Loop.10=3,16
Param.TEMP=735
Param.FWVER=1.02
)";

class E2eTest : public DocTest {
protected:
    static constexpr int kTerminal = 12;

    E2eTest() {
        Start();
        doc->Workspace().Settings().SetValue("Modem", "ComPort", dir / "ttySIM");
        AddTerminal(kTerminal, kBm4, 4);
        Terminal().FindDevice(0)->SetPassword("0000");
        AddDevice(Node(kTerminal), 1, kPartition8, "Офис", 4);
        AddDevice(Node(kTerminal, 1), 5, kExpander, "", 2);
        EXPECT_TRUE(doc->Editor().DistributeLoops(Node(kTerminal)));
        std::string error;
        EXPECT_TRUE(sim.Read(kSimState, dir.Path().string(), error)) << error;
        exchange = std::make_unique<CExchange>(doc->Workspace().Settings());
        exchange->SetModemLogFolder(dir.Path());
    }
    ~E2eTest() override { StopSimulator(); }

    CTerminal& Terminal() { return *doc->Workspace().FindTerminal(kTerminal); }
    CDevice& Device(int address) { return *Terminal().FindDevice(address); }
    CCommandDesc& Command(const std::string& key) {
        for (const auto& command : doc->Workspace().Catalogue().Commands())
            if (command->Name() == key)
                return *command;
        ADD_FAILURE() << "no catalogue command " << key;
        return *doc->Workspace().Catalogue().Commands().front();
    }

    // Puts the simulator (with `sim` as the test has set it) on the line; a
    // test may run several exchanges.
    void StartSimulator() {
        simulator_ = std::make_unique<SimOnPty>(sim, [this](const std::string& line) {
            std::lock_guard lock(logLock_);
            log_.push_back(line);
        });
        std::string error;
        ASSERT_TRUE(simulator_->Start(dir / "ttySIM", error)) << error;
    }
    // Afterwards `sim` may be read: it holds what the configurator wrote.
    void StopSimulator() { simulator_.reset(); }

    // Starts the exchange with the catalogue commands named by their keys.
    bool Begin(const Lines& keys, CDevice* device = nullptr) {
        StartSimulator();
        keys_ = keys;
        device_ = device;
        std::vector<CCommandDesc*> commands;
        for (const auto& key : keys)
            commands.push_back(&Command(key));
        return exchange->Start(MakeExchangeJob(Terminal(), device, commands));
    }
    // Applies a reply the worker waits on, as the document's poll does.
    void Pump() {
        PendingReply reply;
        if (exchange->TakeReply(reply)) {
            CResult applied = ApplyNodeReply(Terminal(), device_, reply.value);
            const bool stop = CTerminal::IsStoreFailure(applied);
            exchange->ReplyApplied(std::move(applied), stop);
        }
    }
    // Runs the exchange to its end; the status lines, the simulator stopped.
    Lines Run(const Lines& keys, CDevice* device = nullptr) {
        EXPECT_TRUE(Begin(keys, device));
        EXPECT_TRUE(Eventually(
            [&] {
                Pump();
                return exchange->GetState() != CExchange::kRunning;
            },
            60000));
        StopSimulator();
        return Status();
    }
    Lines Status() {
        Lines lines;
        for (std::string line; exchange->PopStatus(line);)
            lines.push_back(line);
        return lines;
    }
    // The outcome of the last exchange's command `key`.
    CommandOutcome Outcome(const std::string& key) {
        const auto at = std::find(keys_.begin(), keys_.end(), key);
        const std::vector<CommandOutcome> results = exchange->Results();
        const auto index = static_cast<std::size_t>(at - keys_.begin());
        return index < results.size() ? results[index] : CommandOutcome{-1, {}};
    }
    int Result(const std::string& key) { return Outcome(key).state; }

    // Simulator log lines that contain `part`.
    int SimLogCount(const std::string& part) {
        std::lock_guard lock(logLock_);
        return static_cast<int>(
            std::count_if(log_.begin(), log_.end(),
                          [&](const std::string& line) { return line.find(part) != line.npos; }));
    }
    std::string Value(const std::string& statement) {
        const auto rows = Rows(statement);
        return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
    }
    // The first column of every row.
    Lines Column(const std::string& statement) {
        Lines values;
        for (const auto& row : Rows(statement))
            values.push_back(row.empty() ? "<none>" : row[0]);
        return values;
    }
    std::string Param(int device, const std::string& name) {
        return Value("SELECT param_value FROM device_param WHERE term_id=12 AND device_id=" +
                     std::to_string(device) + " AND name='" + name + "'");
    }

    // Room for a loaded machine: a modem reply waited for 1 s gets 50 ms.
    CScopedTimeScale fast{0.05};
    CTerminalState sim;

private:
    std::mutex logLock_;
    Lines log_;
    std::unique_ptr<SimOnPty> simulator_;
    Lines keys_;
    CDevice* device_ = nullptr;

protected:
    // Last, so that it ends (cancelling a running exchange) before the
    // simulator and the document go.
    std::unique_ptr<CExchange> exchange;
};

} // namespace tornu::test
