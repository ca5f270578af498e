// The device's side of the command set: the snapshot its commands are built
// from, and the values of its replies applied to the records.
#include "db/Device.h"

#include "catalogue/ParamDesc.h"
#include "db/DbTransaction.h"
#include "db/Sensor.h"
#include "db/Terminal.h"
#include "db/UpdateBatch.h"
#include "protocol/CommandSet.h"
#include "protocol/ConfigText.h"
#include "protocol/TimeStamp.h"

#include <cstdio>

namespace tornu {
namespace {

// The loop among the device's own loops, then its slaves', depth first.
CSensor* FindLoopOf(const CDevice& device, int number) {
    for (CSensor* loop : device.Loops())
        if (loop->Number() == number)
            return loop;
    for (const CDevice* slave : device.Slaves())
        if (CSensor* loop = FindLoopOf(*slave, number))
            return loop;
    return nullptr;
}

} // namespace

bool CDevice::SetNewPassword(std::string password) {
    if (!IsMessageSafe(password))
        return false;
    // Kept with the dependants: a device that was never looked at has none.
    NeedDependants();
    const bool changed = !password.empty() && password != Block().newPassword.Str();
    Block().newPassword = password;
    // The terminal gets it only with its change command.
    return !changed || !Database() ||
           Database()->Pending().Mark(terminal_->Id(), {address_, PendingKind::Password, {}});
}

DeviceSnapshot CDevice::Snapshot() const {
    NeedDependants();
    DeviceSnapshot snapshot;
    snapshot.terminal = terminal_->Id();
    snapshot.address = address_;
    snapshot.master = master_;
    if (!IsTopLevel())
        if (const CDevice* master = terminal_->FindDevice(master_))
            snapshot.masterPassword = master->Password();
    snapshot.password = password_;
    const Dependants& block = View();
    snapshot.newPassword = block.newPassword.Str();
    snapshot.params.reserve(block.params.size());
    for (const auto& param : block.params) {
        const CParamDesc* desc = param->Desc();
        snapshot.params.push_back({param->Name(), std::string(param->Value()),
                                   desc ? desc->Default() : std::string(),
                                   desc && desc->IsReadable(), desc && desc->IsWritable()});
    }
    snapshot.phones = PhoneEntries();
    snapshot.keys.reserve(block.keys.size());
    for (const auto& key : block.keys)
        snapshot.keys.emplace_back(key->Code());
    return snapshot;
}

std::vector<PhoneEntry> CDevice::PhoneEntries() const {
    NeedDependants();
    std::vector<PhoneEntry> entries;
    const auto& phones = View().phones;
    entries.reserve(phones.size());
    for (const auto& phone : phones)
        entries.push_back({phone->Type(), std::string(phone->Phone()), phone->Mask()});
    return entries;
}

CResult CDevice::ApplyReply(const ReplyValue& reply, std::time_t now) {
    NeedDependants();
    CConfigDatabase* db = Database();
    if (db)
        db->TakeFailedStatementError();
    return terminal_->WriteOutcome(WriteReply(reply, now));
}

bool CDevice::WriteReply(const ReplyValue& reply, std::time_t now) {
    // Whatever the reply changes lands whole or not at all: a status stores
    // its parameters, loop states and the device row together.
    CDbTransaction transaction(Database());
    if (!terminal_->StillStored())
        return false;
    CUpdateBatch batch(Database());
    // The device's own row is written once, with the time, and only the
    // columns the reply gives.
    ColumnMask row = Columns({"last_time"});
    const bool usable =
        std::visit(Overloaded{
                       [](const Acknowledgement&) { return true; },
                       [&](const StatusReply& status) {
                           row |= ApplyStatus(status);
                           return true;
                       },
                       [&](const PhoneBookReply& book) { return ApplyPhoneBook(book); },
                       [&](const KeyReply& keys) {
                           ApplyKeys(keys);
                           return true;
                       },
                       [&](const NewPasswordReply& password) {
                           password_ = password.password;
                           Block().newPassword = std::string_view();
                           row |= Columns({"password"});
                           return true;
                       },
                       [](const FileReply& file) {
                           return !file.bytes || WriteFileBytes(file.path, *file.bytes);
                       },
                       [](const LoopConfigReply&) { return false; },
                   },
                   reply);
    batch.Write();
    if (usable)
        lastTime_ = TimeStamp(now);
    const bool written = usable && Update(row);
    return transaction.End(written) && written;
}

ColumnMask CDevice::ApplyStatus(const StatusReply& status) {
    for (const auto& param : View().params) {
        const CParamDesc* desc = param->Desc();
        if (!desc || !desc->IsReadable())
            continue;
        if (const std::string* value = StatusParamValue(status, param->Name()))
            param->SetValue(*value);
    }
    ColumnMask changed = 0;
    if (status.systemState) {
        systemState_ = *status.systemState;
        changed |= Columns({"systemstate"});
    }
    if (status.lastKey) {
        lastKey_ = *status.lastKey;
        changed |= Columns({"last_key"});
    }
    for (const auto& [number, state] : status.loopStates)
        if (CSensor* loop = FindLoopOf(*this, number))
            loop->SetState(state);
    return changed;
}

bool CDevice::ApplyPhoneBook(const PhoneBookReply& book) {
    NeedDependants();
    bool saved = true;
    for (const auto& [position, entry] : book.entries) {
        const auto& phones = View().phones;
        if (position >= phones.size())
            continue;
        CDevicePhone& phone = *phones[position];
        saved = phone.SetPhoneNumber(entry.number) && saved;
        saved = phone.SetMask(entry.mask) && saved;
    }
    return saved;
}

void CDevice::ApplyKeys(const KeyReply& keys) {
    for (const auto& [position, code] : keys.codes)
        if (const auto& list = View().keys; position < list.size())
            list[position]->SetKeyCode(code);
}

} // namespace tornu
