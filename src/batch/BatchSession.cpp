#include "batch/BatchSession.h"

#include "batch/BatchText.h"
#include "batch/ModemPool.h"
#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/TornuCfgDoc.h"

#include "catalogue/Catalogue.h"
#include "catalogue/CommandOffer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <unordered_set>

namespace tornu {

CBatchSession::CBatchSession(CTornuCfgDoc& doc)
    : doc_(doc), store_(doc.Workspace().Database()) {}

CBatchSession::~CBatchSession() {
    if (!run_)
        return;
    // The queue hangs up what still runs as it goes.
    run_.reset();
    Finish();
}

CResult CBatchSession::Open() { return store_.Open(); }

std::vector<BatchJob> CBatchSession::Jobs() { return store_.Jobs(); }

BatchCommandOffer CBatchSession::OfferCommands() {
    CWorkspace& workspace = doc_.Workspace();
    BatchCommandOffer offer;
    offer.terminal =
        PrepareCommandOffer(workspace.Catalogue(), workspace.Settings(), CommandNode::Terminal);
    // "D" fits both kinds of device: once in the list.
    for (CommandNode node : {CommandNode::TopLevelDevice, CommandNode::SubordinateDevice})
        for (CCommandDesc* command :
             PrepareCommandOffer(workspace.Catalogue(), workspace.Settings(), node))
            if (std::find(offer.devices.begin(), offer.devices.end(), command) == offer.devices.end())
                offer.devices.push_back(command);
    const auto& all = workspace.Catalogue().Commands();
    const auto position = [&all](const CCommandDesc* command) {
        return std::find_if(all.begin(), all.end(),
                            [command](const auto& c) { return c.get() == command; }) -
               all.begin();
    };
    std::sort(offer.devices.begin(), offer.devices.end(),
              [&](const CCommandDesc* a, const CCommandDesc* b) { return position(a) < position(b); });
    for (const auto& type : workspace.Catalogue().BusTypes())
        offer.deviceTypes.push_back(type->Name());
    return offer;
}

void CBatchSession::RememberFiles(const BatchCommandOffer& offer) {
    std::vector<CCommandDesc*> offered = offer.terminal;
    offered.insert(offered.end(), offer.devices.begin(), offer.devices.end());
    // A name that cannot be kept is no reason to hold the job back.
    RememberCommandFiles(offered, doc_.Workspace().Settings());
}

CResult CBatchSession::CreateJob(BatchJob& job, const std::vector<int>& terminals) {
    if (run_)
        return CResult::Fail("Идет пакетный обмен");
    std::unordered_set<int> ids;
    for (const auto& terminal : doc_.Workspace().Terminals())
        ids.insert(terminal->Id());
    std::vector<int> known;
    known.reserve(terminals.size());
    for (int terminal : terminals)
        if (ids.count(terminal))
            known.push_back(terminal);
    if (known.empty())
        return CResult::Fail("В задании нет ни одного базового модуля");
    if (job.owner.empty())
        for (const char* name : {"USER", "LOGNAME", "USERNAME"})
            if (const char* user = std::getenv(name); user && *user && job.owner.empty())
                job.owner = user;
    if (CResult made = store_.CreateJob(job, known); !made)
        return made;
    return Choose(job.id);
}

CResult CBatchSession::Choose(int id) {
    if (run_)
        return CResult::Fail("Идет пакетный обмен");
    std::optional<BatchJob> job = store_.FindJob(id);
    if (!job)
        return CResult::Fail("Нет задания " + std::to_string(id));
    job_ = std::move(job);
    model_.Reset(store_.Terminals(id));
    return CResult::Ok();
}

CResult CBatchSession::Start(bool retryFailed) {
    if (!job_ || run_)
        return CResult::Fail("Нет задания");
    std::vector<BatchPort> pool = ModemPool(doc_.Workspace().Settings());
    if (pool.empty())
        return CResult::Fail(kBatchNoPortsMessage);
    std::set<std::string> ports;
    for (const BatchPort& port : pool)
        ports.insert(port.name);
    if (const std::string busy = doc_.Exchanges().PortInUse(ports); !busy.empty())
        return CResult::Fail(PortBusyMessage(busy));
    auto run = std::make_unique<CBatchRun>(doc_.Workspace(), store_, *job_);
    if (!run->UnknownCommands().empty())
        return CResult::Fail(kBatchUnknownCommandMessage + run->UnknownCommands().front());
    if (factory_)
        run->SetStreamFactory(factory_);
    run->SetClock(clock_);
    run->OnRow([this](const BatchTerminal& row, const std::string& port) { OnRow(row, port); });
    const int size = static_cast<int>(pool.size());
    if (CResult started = run->Start(std::move(pool), retryFailed); !started)
        return started;
    run_ = std::move(run);
    failure_ = CResult::Ok();
    doc_.Exchanges().SetBatchPorts(std::move(ports));
    // What the reopen put back to do shows as such.
    model_.Reset(store_.Terminals(job_->id));
    model_.SetPorts(size);
    return CResult::Ok();
}

bool CBatchSession::Poll() {
    if (!run_)
        return false;
    if (run_->Poll())
        return true;
    failure_ = run_->Failure();
    run_.reset();
    Finish();
    return false;
}

void CBatchSession::Pause(bool paused) {
    if (run_)
        run_->Pause(paused);
}

void CBatchSession::Cancel() {
    if (run_)
        run_->Stop();
}

void CBatchSession::Finish() {
    for (int terminal : held_)
        doc_.Exchanges().HoldForBatch(terminal, false);
    held_.clear();
    doc_.Exchanges().SetBatchPorts({});
}

void CBatchSession::OnRow(const BatchTerminal& row, const std::string& port) {
    model_.Apply(row, port);
    CExchangeRuns& runs = doc_.Exchanges();
    const bool running = row.state == kBatchRunning;
    runs.HoldForBatch(row.terminal, running);
    if (running) {
        held_.push_back(row.terminal);
    } else {
        held_.erase(std::remove(held_.begin(), held_.end(), row.terminal), held_.end());
        // The replies changed its records: a view showing one reads it again.
        if (const CTerminal* terminal = doc_.Workspace().FindTerminal(row.terminal))
            for (const auto& device : terminal->Devices())
                if (CTreeNode* node = doc_.FindNode(row.terminal, device->Address()))
                    doc_.Tree().NodeChanged(*node);
        if (CTreeNode* node = doc_.FindNode(row.terminal))
            doc_.Tree().NodeChanged(*node);
    }
}

std::string CBatchSession::TerminalLog(int terminal) {
    if (!job_)
        return {};
    // One row's log, not the whole job's: a double click must not stall.
    const DbValue values[] = {job_->id, terminal};
    std::vector<std::vector<std::string>> rows;
    if (!doc_.Workspace().Database().Query(
            "SELECT log FROM batch_terminal WHERE job_id=? AND term_id=?", values, rows) ||
        rows.empty() || rows.front().empty())
        return {};
    return rows.front().front();
}

bool CBatchSession::ExportReport(const std::string& path) {
    if (!job_)
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << BatchReportCsv(store_.Terminals(job_->id));
    out.close();
    return static_cast<bool>(out);
}

} // namespace tornu
