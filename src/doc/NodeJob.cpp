#include "doc/NodeJob.h"

#include "catalogue/CommandDesc.h"
#include "db/ChangeHistory.h"
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

CResult ApplyNodeReply(CTerminal& terminal, CDevice* device, const ReplyValue& reply,
                       std::string command, ChangeSource source) {
    CChangeSourceScope scope(terminal.Database(), source, std::move(command));
    return device ? device->ApplyReply(reply) : terminal.ApplyReply(reply);
}

} // namespace tornu
