#include "doc/NodeJob.h"

#include "catalogue/CommandDesc.h"
#include "db/ChangeHistory.h"
#include "db/DbTransaction.h"
#include "db/Device.h"
#include "db/Terminal.h"

namespace tornu {

ExchangeJob MakeExchangeJob(const CTerminal& terminal, const CDevice* device,
                            const std::vector<CCommandDesc*>& commands) {
    ExchangeJob job;
    TerminalSnapshot snapshot = terminal.Snapshot();
    job.phone = snapshot.phone;
    job.linkPassword = snapshot.password;
    if (device)
        job.node = device->Snapshot();
    else
        job.node = std::move(snapshot);
    job.commands.reserve(commands.size());
    for (const CCommandDesc* command : commands)
        job.commands.push_back({command->Spec(), command->Description()});
    return job;
}

CommandSpec CarriedSpec(const CCommandDesc& command) {
    CommandSpec spec;
    spec.code = command.Code();
    spec.kind = command.Kind();
    spec.paramList = command.ParamList();
    return spec;
}

namespace {

// The marks of what the command carried to the node; true when it carries none.
bool ClearCarried(CTerminal& terminal, CDevice* device, const CommandSpec& spec) {
    const std::optional<PendingKind> kind = KindWrittenBy(spec.code);
    CConfigDatabase* db = terminal.Database();
    // Loops and the terminal's password are written with terminal commands.
    const bool terminalOwn = spec.code == 40 || spec.code == 97;
    if (!kind || !db || terminalOwn == (device != nullptr))
        return true;
    // A parameter write restricted to its list carries only those.
    std::vector<std::string> only;
    if (*kind == PendingKind::Param && !spec.paramList.empty())
        only = spec.paramList;
    return db->Pending().Clear(terminal.Id(), device ? device->Address() : kTerminalItself, *kind,
                               only);
}

} // namespace

CResult ApplyNodeReply(CTerminal& terminal, CDevice* device, const ReplyValue& reply,
                       std::string command, ChangeSource source, const CommandSpec* spec) {
    CChangeSourceScope scope(terminal.Database(), source, std::move(command));
    if (!spec || !KindWrittenBy(spec->code))
        return device ? device->ApplyReply(reply) : terminal.ApplyReply(reply);
    // Cleared first, so that the reply's own echo of what was written (the
    // loop configuration) is not taken for a value that replaces a pending one.
    CDbTransaction transaction(terminal.Database());
    const bool cleared = ClearCarried(terminal, device, *spec);
    CResult applied = device ? device->ApplyReply(reply) : terminal.ApplyReply(reply);
    if (!transaction.End(applied && cleared) && applied)
        return terminal.WriteOutcome(false);
    return applied;
}

} // namespace tornu
