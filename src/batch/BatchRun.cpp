#include "batch/BatchRun.h"

#include "catalogue/CommandDesc.h"
#include "catalogue/CommandOffer.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/NodeJob.h"
#include "doc/Workspace.h"

#include <sstream>

namespace tornu {

namespace {

std::vector<std::string> SplitKeys(const std::string& text) {
    std::vector<std::string> keys;
    std::stringstream in(text);
    for (std::string key; std::getline(in, key, ',');)
        if (!key.empty())
            keys.push_back(key);
    return keys;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    return text;
}

std::string TerminalName(int terminal) {
    char text[16];
    std::snprintf(text, sizeof text, "[%04d]", terminal);
    return text;
}

} // namespace

CBatchRun::CBatchRun(CWorkspace& workspace, CBatchStore& store, BatchJob job)
    : workspace_(workspace), store_(store), job_(std::move(job)),
      settings_(ReadBatchSettings(job_.settings)) {
    for (const std::string& key : SplitKeys(job_.commands)) {
        CCommandDesc* found = nullptr;
        for (const auto& command : workspace_.Catalogue().Commands())
            if (command->Name() == key)
                found = command.get();
        if (found)
            commands_.push_back(found);
        else
            unknown_.push_back(key);
    }
}

std::vector<std::string> CBatchRun::UnknownCommands() const {
    return unknown_;
}

void CBatchRun::Write(const CResult& written, const BatchTerminal& row, const std::string& port) {
    if (!written && failure_)
        failure_ = written;
    if (rowWritten_)
        rowWritten_(row, port);
}

void CBatchRun::Tell(const std::string& line) {
    if (progress_)
        progress_(line);
}

CResult CBatchRun::Run(std::vector<BatchPort> pool, const std::function<bool()>& stop,
                       bool reopenFailed) {
    if (CResult started = Start(std::move(pool), reopenFailed); !started)
        return started;
    for (;;) {
        if (stop && stop())
            queue_->Stop();
        if (!Poll())
            break;
        queue_->Wait();
    }
    return failure_;
}

CResult CBatchRun::Start(std::vector<BatchPort> pool, bool reopenFailed) {
    failure_ = CResult::Ok();
    if (CResult reopened = store_.Reopen(job_.id, reopenFailed); !reopened)
        return reopened;
    std::vector<int> pending;
    for (const BatchTerminal& row : store_.Terminals(job_.id)) {
        attemptsBefore_[row.terminal] = row.attempts;
        if (row.state == kBatchPending)
            pending.push_back(row.terminal);
    }
    queue_ = std::make_unique<CBatchQueue>(std::move(pool), settings_, *this, clock_);
    if (factory_)
        queue_->SetStreamFactory(factory_);
    queue_->SetModemLogFolder(workspace_.Folder().string());
    queue_->Start(pending);
    return CResult::Ok();
}

bool CBatchRun::Poll() {
    if (queue_->Poll())
        return true;
    if (queue_->PortsLeft() == 0 && !queue_->Left().empty())
        Tell("Не осталось ни одного исправного модема: задание не закончено");
    return false;
}

std::optional<ExchangeJob> CBatchRun::MakeJob(int terminal, std::string& why) {
    const CTerminal* found = workspace_.FindTerminal(terminal);
    if (!found) {
        why = "Нет базового модуля " + std::to_string(terminal);
        return std::nullopt;
    }
    // Terminal commands once, then each device's that fit it, device by device.
    Call call;
    ExchangeJob job = MakeExchangeJob(*found, nullptr, {});
    for (CCommandDesc* command : commands_)
        if (IsCommandOffered(*command, CommandNode::Terminal)) {
            job.commands.push_back({command->Spec(), command->Description(), 0});
            call.devices.push_back(nullptr);
            call.lines.push_back({std::to_string(terminal), command->Name(), 0, {}});
        }
    for (const auto& device : found->Devices()) {
        const CommandNode node = DeviceCommandNode(device->Master());
        bool added = false;
        for (CCommandDesc* command : commands_) {
            if (!IsCommandOffered(*command, node))
                continue;
            if (!added)
                job.others.push_back(device->Snapshot());
            added = true;
            job.commands.push_back({command->Spec(), command->Description(), job.others.size()});
            call.devices.push_back(device.get());
            call.lines.push_back({std::to_string(terminal) + "/" + std::to_string(device->Address()),
                                  command->Name(), 0, {}});
        }
    }
    calls_[terminal] = std::move(call);
    return job;
}

CResult CBatchRun::ApplyReply(int terminal, const PendingReply& reply, bool& stop) {
    CTerminal* found = workspace_.FindTerminal(terminal);
    const auto call = calls_.find(terminal);
    if (!found || call == calls_.end() || reply.command >= call->second.devices.size())
        return CResult::Fail("Нет базового модуля " + std::to_string(terminal));
    CResult applied =
        ApplyNodeReply(*found, call->second.devices[reply.command], reply.value,
                       job_.name + ": " + call->second.lines[reply.command].command, ChangeSource::Batch);
    stop = CTerminal::IsStoreFailure(applied);
    return applied;
}

void CBatchRun::Started(int terminal, const std::string& port, int attempt) {
    BatchTerminal row;
    row.job = job_.id;
    row.terminal = terminal;
    row.attempts = attemptsBefore_[terminal] + attempt;
    row.state = kBatchRunning;
    row.started = CBatchStore::Now();
    Write(store_.MarkRunning(row), row, port);
    Tell(TerminalName(terminal) + " " + port + ": " + BatchStateCaption(kBatchRunning) +
         (attempt > 1 ? ", попытка " + std::to_string(attempt) : ""));
}

void CBatchRun::Ended(const BatchCallEnd& end) {
    BatchTerminal row;
    row.job = job_.id;
    row.terminal = end.terminal;
    row.attempts = attemptsBefore_[end.terminal] + end.attempt;
    if (end.verdict == BatchVerdict::kDone)
        row.state = kBatchDone;
    else if (end.final)
        row.state = kBatchFailed;
    else
        row.state = kBatchPending;
    row.cause = end.cause;
    row.ended = CBatchStore::Now();
    row.log = Joined(end.log);
    std::vector<BatchResultLine> lines = calls_[end.terminal].lines;
    for (std::size_t i = 0; i < lines.size() && i < end.results.size(); ++i) {
        lines[i].state = end.results[i].state;
        lines[i].text = end.results[i].text;
    }
    row.results = FormatResults(lines);
    Write(store_.MarkEnded(row), row);
    std::string told = TerminalName(end.terminal) + ": " + BatchStateCaption(row.state);
    if (!end.cause.empty())
        told += " (" + end.cause + ")";
    if (end.verdict == BatchVerdict::kRetry && !end.final)
        told += ", повтор позже";
    Tell(told);
}

void CBatchRun::Skipped(int terminal, const std::string& why) {
    BatchTerminal row;
    row.job = job_.id;
    row.terminal = terminal;
    row.attempts = attemptsBefore_[terminal];
    row.state = kBatchSkipped;
    row.cause = why;
    row.ended = CBatchStore::Now();
    Write(store_.MarkEnded(row), row);
    Tell(TerminalName(terminal) + ": " + BatchStateCaption(kBatchSkipped) + " (" + why + ")");
}

void CBatchRun::PortLost(const std::string& port, const std::string& why) {
    const std::string line =
        CBatchStore::Now() + " Модем " + port + " исключен из обмена: " + why;
    if (CResult written = store_.AppendJobLog(job_.id, line); !written && failure_)
        failure_ = written;
    Tell(line);
}

} // namespace tornu
