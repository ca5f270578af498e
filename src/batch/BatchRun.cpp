#include "batch/BatchRun.h"

#include "catalogue/CommandDesc.h"
#include "catalogue/CommandOffer.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/NodeJob.h"
#include "doc/Workspace.h"

#include <algorithm>
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
      settings_(ReadBatchSettings(job_.settings)), types_(BatchTypesOf(job_.settings)) {
    for (const std::string& key : SplitKeys(job_.commands)) {
        CCommandDesc* found = nullptr;
        for (const auto& command : workspace_.Catalogue().Commands())
            if (command->Name() == key)
                found = command.get();
        if (!found) {
            unknown_.push_back(key);
            continue;
        }
        // The job's files, or else those the settings file remembers.
        CCommandDesc command = *found;
        for (const int flag : {kCommandFileIn, kCommandFileOut})
            if (const std::string path = BatchFileOf(job_.settings, key, flag); !path.empty())
                command.SetFileName(flag, path);
        commands_.push_back(found);
        specs_.push_back(command.Spec());
        files_.push_back(command.FileName(kCommandFileIn));
    }
}

std::string CBatchRun::FileProblem() const {
    for (std::size_t i = 0; i < specs_.size(); ++i)
        if (specs_[i].HasFile(kCommandFileIn) && !specs_[i].input)
            return files_[i].empty() ? "Не задан входной файл команды " + commands_[i]->Name()
                                     : "Невозможно прочитать входной файл команды " +
                                           commands_[i]->Name() + ": " + files_[i];
    return {};
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
    if (const std::string problem = FileProblem(); !problem.empty())
        return CResult::Fail(problem);
    if (reopenFailed)
        if (CResult reopened = store_.ReopenFailed(job_.id); !reopened)
            return reopened;
    // Running ones were left by a program that died, or are run by another
    // now: the claims tell which.
    std::vector<int> pending;
    for (const BatchTerminal& row : store_.Terminals(job_.id)) {
        attemptsBefore_[row.terminal] = row.attempts;
        if (row.state == kBatchPending || row.state == kBatchRunning)
            pending.push_back(row.terminal);
    }
    claims_ = std::make_unique<CBatchClaims>(workspace_.Database(), job_.id);
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
    claims_.reset();
    if (queue_->PortsLeft() == 0 && !queue_->Left().empty())
        Tell("Не осталось ни одного исправного модема: задание не закончено");
    return false;
}

std::optional<ExchangeJob> CBatchRun::MakeJob(int terminal, std::string& why) {
    if (claims_ && !claims_->Holds(terminal)) {
        if (!claims_->Claim(terminal))
            return std::nullopt;
        // Another program may have ended it since this run read the job.
        if (const int state = store_.State(job_.id, terminal);
            state != kBatchPending && state != kBatchRunning) {
            claims_->Release(terminal);
            return std::nullopt;
        }
    }
    const CTerminal* found = workspace_.FindTerminal(terminal);
    if (!found) {
        why = "Нет базового модуля " + std::to_string(terminal);
        return std::nullopt;
    }
    // Terminal commands once, then each device's that fit it, device by device.
    Call call;
    ExchangeJob job = MakeExchangeJob(*found, nullptr, {});
    // The command as sent to one node: its reply file that node's own.
    const auto spec = [&](std::size_t i, int device) {
        CommandSpec sent = specs_[i];
        if (sent.HasFile(kCommandFileOut) && !sent.outputFile.empty())
            sent.outputFile = BatchOutputFile(sent.outputFile, terminal, device);
        return sent;
    };
    for (std::size_t i = 0; i < commands_.size(); ++i)
        if (IsCommandOffered(*commands_[i], CommandNode::Terminal)) {
            job.commands.push_back({spec(i, -1), commands_[i]->Description(), 0});
            call.devices.push_back(nullptr);
            call.specs.push_back(CarriedSpec(*commands_[i]));
            call.lines.push_back({std::to_string(terminal), commands_[i]->Name(), 0, {}});
        }
    for (const auto& device : found->Devices()) {
        if (!types_.empty() &&
            std::find(types_.begin(), types_.end(), device->Type().Name()) == types_.end())
            continue;
        const CommandNode node = DeviceCommandNode(device->Master());
        bool added = false;
        for (std::size_t i = 0; i < commands_.size(); ++i) {
            CCommandDesc* command = commands_[i];
            if (!IsCommandOffered(*command, node))
                continue;
            if (!added)
                job.others.push_back(device->Snapshot());
            added = true;
            job.commands.push_back(
                {spec(i, device->Address()), command->Description(), job.others.size()});
            call.devices.push_back(device.get());
            call.specs.push_back(CarriedSpec(*command));
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
                       job_.name + ": " + call->second.lines[reply.command].command, ChangeSource::Batch,
                       &call->second.specs[reply.command]);
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
    if (row.state != kBatchPending && claims_)
        claims_->Release(end.terminal);
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
    if (claims_)
        claims_->Release(terminal);
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
