// Running commands for the tree's current node: the document's part of an
// exchange. The choice of commands and the log window are the operator's.
#include "catalogue/CommandOffer.h"
#include "db/Device.h"
#include "doc/ExchangeMonitor.h"
#include "doc/RecordExchangeTarget.h"
#include "doc/TornuCfgDoc.h"

#include <chrono>
#include <thread>

namespace tornu {

std::optional<CommandChoice> IOperator::ChooseCommands(const std::vector<CCommandDesc*>&) {
    return std::nullopt;
}

ExchangeLogEnd IOperator::RunExchangeLog(CExchangeMonitor& monitor) {
    std::vector<ExchangeLogLine> lines;
    while (!monitor.Poll(lines)) {
        lines.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return ExchangeLogEnd::Closed;
}

namespace {

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

// Every password the exchange may show: taken before it starts, as the worker
// may change them.
std::vector<std::string> Passwords(const CTerminal& terminal) {
    std::vector<std::string> passwords{terminal.Password(), terminal.NewPassword()};
    for (const auto& device : terminal.Devices()) {
        passwords.push_back(device->Password());
        passwords.push_back(device->NewPassword());
    }
    return passwords;
}

} // namespace

bool CTornuCfgDoc::ConfirmPasswords(const CTreeNode& node) {
    if (node.Kind() == NodeKind::Terminal) {
        if (node.Terminal().Password().empty())
            return operator_.Ask(kNoLinkPasswordQuestion);
        return true;
    }
    const std::optional<std::string> password = PartitionPassword(*node.Device());
    if (password && password->empty())
        return operator_.Ask(kNoPartitionPasswordQuestion);
    return true;
}

void CTornuCfgDoc::EndExchange() {
    exchangeRunning_ = false;
    Tell([](IDocObserver& observer) { observer.OnExchangeEnded(); });
}

ExchangeOutcome CTornuCfgDoc::RunCommands() {
    CTreeNode* node = SelectedNode();
    if (!node || !ConfirmPasswords(*node))
        return ExchangeOutcome::NotStarted;
    const std::vector<CCommandDesc*> offered =
        PrepareCommandOffer(catalogue_, settings_, NodeForCommands(*node));
    std::optional<CommandChoice> choice = operator_.ChooseCommands(offered);
    if (!choice)
        return ExchangeOutcome::NotStarted;
    // A name that cannot be kept is no reason to hold the exchange back.
    RememberCommandFiles(offered, settings_);

    CRecordExchangeTarget target(node->Terminal(), node->Device(), choice->chosen);
    // From here until the worker has ended, the records are the worker's.
    exchangeRunning_ = true;
    Tell([](IDocObserver& observer) { observer.OnExchangeStarted(); });
    if (!exchange_->Start(&target, choice->chosen)) {
        EndExchange();
        operator_.Message(kExchangeStartFailedMessage);
        return ExchangeOutcome::StartFailed;
    }
    CExchangeMonitor monitor(*exchange_);
    monitor.SetSecrets(Passwords(node->Terminal()));
    const ExchangeLogEnd end = operator_.RunExchangeLog(monitor);
    // The target lives on this stack: nothing may run past this point.
    if (monitor.Running())
        exchange_->Cancel();
    EndExchange();
    Notify(kHintNodeChanged, node);
    if (end == ExchangeLogEnd::Cancelled)
        return ExchangeOutcome::Cancelled;
    if (choice->showResults)
        operator_.ShowCommandResults(choice->chosen);
    return exchange_->GetState() == CExchange::kFinished ? ExchangeOutcome::Finished
                                                         : ExchangeOutcome::Failed;
}

} // namespace tornu
