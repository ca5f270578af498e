// The terminal's side of the command set: the snapshot its commands are
// built from, and the values of its replies applied to the records.
#include "db/Terminal.h"

#include "db/DbTransaction.h"
#include "protocol/ConfigText.h"

namespace tornu {

bool CTerminal::SetNewPassword(std::string password) {
    if (!IsMessageSafe(password))
        return false;
    const bool changed = !password.empty() && password != newPassword_;
    newPassword_ = std::move(password);
    // The terminal gets it only with its change command.
    return !changed || !Database() ||
           Database()->Pending().Mark(id_, {kTerminalItself, PendingKind::Password, {}});
}

TerminalSnapshot CTerminal::Snapshot() const {
    TerminalSnapshot snapshot;
    snapshot.number = id_;
    snapshot.phone = phone_;
    snapshot.password = password_;
    snapshot.newPassword = newPassword_;
    if (!devices_.empty())
        snapshot.firstDevice =
            PartitionAccess{devices_.front()->Address(), devices_.front()->Password()};
    snapshot.loops = LoopLayout();
    return snapshot;
}

CResult CTerminal::ApplyReply(const ReplyValue& reply) {
    ReadDependants();
    CConfigDatabase* db = Database();
    if (db)
        db->TakeFailedStatementError();
    return WriteOutcome(WriteReply(reply));
}

bool CTerminal::WriteReply(const ReplyValue& reply) {
    // Whatever the reply changes lands whole or not at all.
    CDbTransaction transaction(Database());
    if (!StillStored())
        return false;
    const bool written = std::visit(
        Overloaded{
            [&](const Acknowledgement&) { return true; },
            [&](const LoopConfigReply& config) {
                // Stores and applies the text and writes the row.
                return StoreLoopConfiguration(config.text, config.entries);
            },
            [&](const NewPasswordReply& password) {
                newPassword_.clear();
                return SetText("password", password_, password.password);
            },
            [&](const FileReply& file) {
                return !file.bytes || WriteFileBytes(file.path, *file.bytes);
            },
            [](const auto&) { return false; },
        },
        reply);
    return transaction.End(written) && written;
}

} // namespace tornu
