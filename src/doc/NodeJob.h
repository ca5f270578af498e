#pragma once
// The records' side of an exchange: the job copied from a node on the
// document's thread when the exchange starts, and each reply the worker read
// applied back to the records there.
#include "comms/ExchangeJob.h"
#include "db/ChangeHistory.h"
#include "settings/Result.h"

#include <vector>

namespace tornu {

class CCommandDesc;
class CDevice;
class CTerminal;

// The terminal's phone and link password, the node's snapshot (the device's
// when there is one) and each command with its input file read now.
ExchangeJob MakeExchangeJob(const CTerminal& terminal, const CDevice* device,
                            const std::vector<CCommandDesc*>& commands);

// The command as its reply's pending marks need it: code and parameter
// list, without reading its input file.
CommandSpec CarriedSpec(const CCommandDesc& command);

// The reply applied to the node's records in one transaction. A failure
// carries why: a reply the records cannot take, or the database's text.
// `command` names the command whose reply it is in the history, and
// `source` what made the exchange. The reply of a command that writes
// pending values (by its `code`) clears their marks in the same transaction.
CResult ApplyNodeReply(CTerminal& terminal, CDevice* device, const ReplyValue& reply,
                       std::string command = {}, ChangeSource source = ChangeSource::Reply,
                       const CommandSpec* spec = nullptr);

} // namespace tornu
