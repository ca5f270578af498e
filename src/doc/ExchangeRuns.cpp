// Running commands for a node: the document's part of an exchange. The
// choice of commands and the log window are the operator's.
#include "doc/ExchangeRuns.h"

#include "catalogue/CommandOffer.h"
#include "comms/Exchange.h"
#include "db/Device.h"
#include "doc/ConfigTree.h"
#include "doc/NodeJob.h"
#include "doc/PendingNodes.h"
#include "doc/Workspace.h"

#include <algorithm>

namespace tornu {

std::optional<CommandChoice> IOperator::ChooseCommands(const std::vector<CCommandDesc*>&) {
    return std::nullopt;
}

std::optional<CommandChoice> IOperator::ChooseTickedCommands(const std::vector<CCommandDesc*>&,
                                                             const std::vector<CCommandDesc*>& ticked) {
    if (ticked.empty())
        return std::nullopt;
    return CommandChoice{ticked, true};
}

void IOperator::WatchExchange(CExchangeMonitor& monitor,
                              const std::function<void(ExchangeLogEnd)>& ended) {
    std::vector<ExchangeLogLine> lines;
    while (!monitor.Poll(lines)) {
        lines.clear();
        monitor.Wait(100);
    }
    ended(ExchangeLogEnd::Closed);
}

std::string PortBusyMessage(const std::string& port) {
    return "Порт модема " + port + " занят: по нему уже идет обмен";
}

namespace {

// "[0012] БМ-4 [01] Склад", "Параметр DLYIN: в программе 20, прочитано 30"
// and the question, a line each.
std::string ReplaceText(const CTerminal& terminal, const CDevice* device,
                        const PendingReplace& replace) {
    std::string text = TerminalLabel(terminal);
    if (device)
        text.append(1, ' ').append(DeviceLabel(*device, true));
    return text + "\r\n" + replace.what + ": в программе " + replace.stored + ", прочитано " + replace.read +
           "\r\n" + kReplacePendingQuestion;
}

CommandNode NodeForCommands(const CTreeNode& node) {
    if (node.Kind() == NodeKind::Terminal)
        return CommandNode::Terminal;
    return DeviceCommandNode(node.Device()->Master());
}

// The partition password that applies to a device: its own for a top-level
// device, its master's for a subordinate one. Nothing when the master is not
// on the terminal.
std::optional<std::string> PartitionPassword(const CDevice& device) {
    if (device.IsTopLevel())
        return device.Password();
    const CDevice* master = device.Terminal().FindDevice(device.Master());
    if (!master)
        return std::nullopt;
    return master->Password();
}

// Every password the exchange may show: taken before it starts, as the
// replies may change them.
std::vector<std::string> Passwords(const CTerminal& terminal) {
    std::vector<std::string> passwords{terminal.Password(), terminal.NewPassword()};
    for (const auto& device : terminal.Devices()) {
        passwords.push_back(device->Password());
        passwords.push_back(device->NewPassword());
    }
    return passwords;
}

} // namespace

std::string ModemPortName(const CIniFile& settings) {
    std::string port;
    if (!settings.FindValue("Modem", "ComPort", port) || port.empty())
        port = "COM1";
    return port;
}

CExchangeRun::CExchangeRun(CTerminal& terminal, CDevice* device, std::string port,
                           std::vector<CCommandDesc*> chosen, bool showResults)
    : terminal_(terminal), device_(device), port_(std::move(port)), chosen_(std::move(chosen)),
      showResults_(showResults) {}

CExchangeRun::~CExchangeRun() {
    monitor_.reset();
    exchange_.reset();
}

CExchangeRuns::CExchangeRuns(CWorkspace& workspace, CConfigTree& tree)
    : workspace_(workspace), tree_(tree) {}

CExchangeRuns::~CExchangeRuns() {
    for (const auto& run : runs_)
        run->Exchange().Cancel();
}

bool CExchangeRuns::Holds(const CTerminal& terminal) const {
    return HeldByBatch(terminal.Id()) || std::any_of(runs_.begin(), runs_.end(),
                       [&](const auto& run) { return &run->Terminal() == &terminal; });
}

void CExchangeRuns::HoldForBatch(int terminal, bool held) {
    if (held)
        batchHeld_.insert(terminal);
    else
        batchHeld_.erase(terminal);
}

std::string CExchangeRuns::PortInUse(const std::set<std::string>& ports) const {
    for (const std::string& port : ports)
        if (PortBusy(port))
            return port;
    return {};
}

bool CExchangeRuns::PortBusy(const std::string& port) const {
    return batchPorts_.count(port) > 0 ||
           std::count(reserved_.begin(), reserved_.end(), port) > 0 ||
           std::any_of(runs_.begin(), runs_.end(),
                       [&](const auto& run) { return run->Port() == port; });
}

void CExchangeRuns::ReleasePort(const std::string& port) {
    if (const auto at = std::find(reserved_.begin(), reserved_.end(), port); at != reserved_.end())
        reserved_.erase(at);
}

bool CExchangeRuns::ConfirmPasswords(const CTreeNode& node) {
    if (node.Kind() == NodeKind::Terminal) {
        if (node.Terminal().Password().empty())
            return workspace_.Operator().Ask(kNoLinkPasswordQuestion);
        return true;
    }
    const std::optional<std::string> password = PartitionPassword(*node.Device());
    if (password && password->empty())
        return workspace_.Operator().Ask(kNoPartitionPasswordQuestion);
    return true;
}

void CExchangeRuns::Tell(CExchangeRun& run, bool started) {
    CTreeNode* node = run.Device() ? tree_.Find(*run.Device()) : tree_.Find(run.Terminal());
    if (!node)
        return;
    if (started) {
        tree_.ExchangeStarted(*node);
        return;
    }
    tree_.ExchangeEnded(*node);
    tree_.NodeChanged(*node);
}

ExchangeOutcome CExchangeRuns::RunCommands(CTreeNode& node) {
    return Run(node, false);
}

ExchangeOutcome CExchangeRuns::WritePendingChanges(CTreeNode& node) {
    return Run(node, true);
}

ExchangeOutcome CExchangeRuns::Run(CTreeNode& node, bool pendingTicked) {
    IOperator& op = workspace_.Operator();
    if (Holds(node.Terminal())) {
        op.Message(HeldByBatch(node.Terminal().Id()) ? kTerminalInBatchMessage
                                                     : kTerminalInExchangeMessage);
        return ExchangeOutcome::StartFailed;
    }
    if (!ConfirmPasswords(node))
        return ExchangeOutcome::NotStarted;
    CIniFile& settings = workspace_.Settings();
    const std::vector<CCommandDesc*> offered =
        PrepareCommandOffer(workspace_.Catalogue(), settings, NodeForCommands(node));
    std::optional<CommandChoice> choice =
        pendingTicked ? op.ChooseTickedCommands(offered, PendingWriteCommands(node, offered))
                      : op.ChooseCommands(offered);
    if (!choice)
        return ExchangeOutcome::NotStarted;
    // A name that cannot be kept is no reason to hold the exchange back.
    RememberCommandFiles(offered, settings);

    CExchangeRun* run = StartRun(node, *choice);
    if (!run)
        return ExchangeOutcome::StartFailed;
    Tell(*run, true);

    // A window that stays open beside the main window tells the end later,
    // when this call has long returned.
    auto outcome = std::make_shared<std::optional<ExchangeOutcome>>();
    op.WatchExchange(run->Monitor(), [this, run, outcome](ExchangeLogEnd end) {
        *outcome = Finish(*run, end);
    });
    return outcome->value_or(ExchangeOutcome::Running);
}

CExchangeRun* CExchangeRuns::StartRun(CTreeNode& node, const CommandChoice& choice) {
    IOperator& op = workspace_.Operator();
    const CIniFile& settings = workspace_.Settings();
    const std::string port = ModemPortName(settings);
    if (PortBusy(port)) {
        op.Message(PortBusyMessage(port));
        return nullptr;
    }
    auto run = std::make_unique<CExchangeRun>(node.Terminal(), node.Device(), port, choice.chosen,
                                              choice.showResults);
    run->exchange_ = std::make_unique<CExchange>(settings);
    run->exchange_->SetModemLogFolder(workspace_.Folder());
    // The worker works from this copy: the records stay this thread's.
    if (!run->exchange_->Start(MakeExchangeJob(node.Terminal(), node.Device(), run->Chosen()))) {
        op.Message(kExchangeStartFailedMessage);
        return nullptr;
    }
    run->monitor_ = std::make_unique<CExchangeMonitor>(*run->exchange_);
    run->monitor_->SetSecrets(Passwords(node.Terminal()));
    run->monitor_->SetApplier(
        [this, raw = run.get()](const PendingReply& reply) { return Apply(*raw, reply); });
    runs_.push_back(std::move(run));
    return runs_.back().get();
}

CExchangeMonitor::Verdict CExchangeRuns::Apply(CExchangeRun& run, const PendingReply& reply) {
    const CCommandDesc* command =
        reply.command < run.Chosen().size() ? run.Chosen()[reply.command] : nullptr;
    const CommandSpec spec = command ? CarriedSpec(*command) : CommandSpec{};
    // A read that would replace what the operator changed and has not
    // written asks first, on this thread.
    CPendingGuardScope guard(run.Terminal().Database(), [&](const PendingReplace& replace) {
        if (run.replaceAll_)
            return true;
        const ReplaceAnswer answer = workspace_.Operator().AskReplace(
            ReplaceText(run.Terminal(), run.Device(), replace));
        run.replaceAll_ = answer == ReplaceAnswer::YesToAll;
        return answer != ReplaceAnswer::No;
    });
    CResult applied = ApplyNodeReply(run.Terminal(), run.Device(), reply.value,
                                     command ? command->Name() + " " + command->Description() : "",
                                     ChangeSource::Reply, command ? &spec : nullptr);
    CTreeNode* node = run.Device() ? tree_.Find(*run.Device()) : tree_.Find(run.Terminal());
    if (node)
        tree_.NodeChanged(*node);
    const bool stop = CTerminal::IsStoreFailure(applied);
    return {std::move(applied), stop};
}

ExchangeOutcome CExchangeRuns::Finish(CExchangeRun& run, ExchangeLogEnd end) {
    // A window closed with the exchange still running gave it up.
    if (run.Monitor().Running())
        run.Exchange().Cancel();
    const bool finished = run.Exchange().GetState() == CExchange::kFinished;
    // The results go to the catalogue's commands, where the results form and
    // the front end read them.
    const std::vector<CommandOutcome> results = run.Exchange().Results();
    for (std::size_t i = 0; i < run.Chosen().size() && i < results.size(); ++i)
        run.Chosen()[i]->SetResult(results[i].state, results[i].text);
    auto owned = std::find_if(runs_.begin(), runs_.end(),
                              [&](const auto& r) { return r.get() == &run; });
    std::unique_ptr<CExchangeRun> done = std::move(*owned);
    runs_.erase(owned);
    Tell(*done, false);
    if (end == ExchangeLogEnd::Cancelled)
        return ExchangeOutcome::Cancelled;
    if (done->ShowResults())
        workspace_.Operator().ShowCommandResults(done->Chosen());
    return finished ? ExchangeOutcome::Finished : ExchangeOutcome::Failed;
}

} // namespace tornu
