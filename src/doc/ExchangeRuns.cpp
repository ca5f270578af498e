// Running commands for the tree's current node: the document's part of an
// exchange. The choice of commands and the log window are the operator's.
#include "catalogue/CommandOffer.h"
#include "db/Device.h"
#include "doc/ExchangeMonitor.h"
#include "doc/RecordExchangeTarget.h"
#include "doc/ConfigTree.h"
#include "doc/ExchangeRuns.h"
#include "doc/Operator.h"
#include "doc/Workspace.h"
#include "comms/Exchange.h"

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

CExchangeRuns::CExchangeRuns(CWorkspace& workspace, CConfigTree& tree)
    : workspace_(workspace), tree_(tree),
      exchange_(std::make_unique<CExchange>(workspace.Settings())) {}

CExchangeRuns::~CExchangeRuns() = default;

bool CExchangeRuns::Holds(const CTerminal& terminal) const {
    return running_ == &terminal;
}

ExchangeOutcome CExchangeRuns::RunCommands(CTreeNode& node) {
    if (!ConfirmPasswords(node))
        return ExchangeOutcome::NotStarted;
    IOperator& op = workspace_.Operator();
    const std::vector<CCommandDesc*> offered =
        PrepareCommandOffer(workspace_.Catalogue(), workspace_.Settings(), NodeForCommands(node));
    std::optional<CommandChoice> choice = op.ChooseCommands(offered);
    if (!choice)
        return ExchangeOutcome::NotStarted;
    // A name that cannot be kept is no reason to hold the exchange back.
    RememberCommandFiles(offered, workspace_.Settings());

    CRecordExchangeTarget target(node.Terminal(), node.Device());
    // From here until the worker has ended, the records are the worker's.
    running_ = &node.Terminal();
    tree_.ExchangeStarted(node);
    const auto end = [&] {
        running_ = nullptr;
        tree_.ExchangeEnded(node);
    };
    if (!exchange_->Start(&target, choice->chosen)) {
        end();
        op.Message(kExchangeStartFailedMessage);
        return ExchangeOutcome::StartFailed;
    }
    CExchangeMonitor monitor(*exchange_);
    monitor.SetSecrets(Passwords(node.Terminal()));
    const ExchangeLogEnd logEnd = op.RunExchangeLog(monitor);
    // The target lives on this stack: nothing may run past this point.
    if (monitor.Running())
        exchange_->Cancel();
    end();
    tree_.NodeChanged(node);
    if (logEnd == ExchangeLogEnd::Cancelled)
        return ExchangeOutcome::Cancelled;
    if (choice->showResults)
        op.ShowCommandResults(choice->chosen);
    return exchange_->GetState() == CExchange::kFinished ? ExchangeOutcome::Finished
                                                         : ExchangeOutcome::Failed;
}

} // namespace tornu
