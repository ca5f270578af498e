#include "doc/NodeComparison.h"

#include "catalogue/Catalogue.h"
#include "catalogue/CommandOffer.h"
#include "catalogue/ParamDesc.h"
#include "comms/Exchange.h"
#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/DeviceParam.h"
#include "db/DevicePhone.h"
#include "db/Terminal.h"
#include "doc/ConfigTree.h"
#include "doc/ExchangeRuns.h"
#include "doc/NodeJob.h"
#include "doc/Workspace.h"
#include "protocol/CommandSet.h"

#include <algorithm>
#include <cctype>
#include <span>
#include <utility>

namespace tornu {

namespace {

// Status, phone book and key list of a device; the loop configuration of a terminal.
constexpr std::int32_t kDeviceReads[] = {16, 23, 38};
constexpr std::int32_t kTerminalReads[] = {39};

// The display form when the parameter has one, else the stored text.
std::string Shown(const CParamDesc* desc, const std::string& stored) {
    std::string display;
    if (desc && desc->ToDisplay(std::optional<std::string_view>(stored), display))
        return display;
    return stored;
}

// A key code's letters may come back in another case: the same key.
bool SameCode(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

// A device's loop types as the operator reads them: "1, 0, 8"; "нет" for
// a device the text does not name.
std::string LoopTypes(const LoopEntry* entry) {
    if (!entry)
        return "нет";
    std::string text;
    for (int type : entry->types)
        text += (text.empty() ? "" : ", ") + std::to_string(type);
    return text;
}

void CompareStatus(const CDevice& device, const StatusReply& status,
                   std::vector<NodeDifference>& out) {
    for (const auto& param : device.Params()) {
        const CParamDesc* desc = param->Desc();
        const std::string* read = StatusParamValue(status, param->Name());
        const std::string stored(param->Value());
        if (!desc || !desc->IsReadable() || !read || *read == stored)
            continue;
        out.push_back({device.Address(), param->ChangeName(0), Shown(desc, stored), Shown(desc, *read)});
    }
}

void ComparePhones(const CDevice& device, const PhoneBookReply& book,
                   std::vector<NodeDifference>& out) {
    const auto& phones = device.Phones();
    for (const auto& [position, entry] : book.entries) {
        if (position >= phones.size())
            continue;
        const CDevicePhone& phone = *phones[position];
        const TableDesc& table = phone.Describe();
        if (entry.number != phone.Phone())
            out.push_back({device.Address(), phone.ChangeName(table.IndexOf("phone")),
                           std::string(phone.Phone()), entry.number, DifferenceKind::Phone});
        if (entry.mask != phone.Mask())
            out.push_back({device.Address(), phone.ChangeName(table.IndexOf("mask")),
                           std::to_string(phone.Mask()), std::to_string(entry.mask),
                           DifferenceKind::Phone});
    }
}

void CompareKeys(const CDevice& device, const KeyReply& keys, std::vector<NodeDifference>& out) {
    const auto& list = device.Keys();
    for (const auto& [position, code] : keys.codes) {
        if (position >= list.size() || SameCode(code, list[position]->Code()))
            continue;
        const CDeviceKey& key = *list[position];
        out.push_back({device.Address(), key.ChangeName(key.Describe().IndexOf("key_value")),
                       std::string(key.Code()), code, DifferenceKind::Key});
    }
}

void CompareLoops(const CTerminal& terminal, const LoopConfigReply& config,
                  std::vector<NodeDifference>& out) {
    const std::vector<LoopLayoutEntry> layout = terminal.LoopLayout();
    auto stored = [&](int device) -> const LoopEntry* {
        for (const LoopLayoutEntry& entry : layout)
            if (entry.listed && entry.loops.device == device)
                return &entry.loops;
        return nullptr;
    };
    auto read = [&](int device) -> const LoopEntry* {
        for (const LoopEntry& entry : config.entries)
            if (entry.device == device)
                return &entry;
        return nullptr;
    };
    // The stored devices in their order, then those only the terminal names.
    std::vector<int> devices;
    for (const LoopLayoutEntry& entry : layout)
        if (entry.listed)
            devices.push_back(entry.loops.device);
    for (const LoopEntry& entry : config.entries)
        if (std::find(devices.begin(), devices.end(), entry.device) == devices.end())
            devices.push_back(entry.device);
    for (int device : devices) {
        const LoopEntry* ours = stored(device);
        const LoopEntry* theirs = read(device);
        if (ours && theirs && *ours == *theirs)
            continue;
        out.push_back({device, "Типы шлейфов", LoopTypes(ours), LoopTypes(theirs),
                       DifferenceKind::Loops});
    }
}

} // namespace

CNodeComparison::CNodeComparison(CWorkspace& workspace, int terminal, int device)
    : workspace_(workspace), terminal_(terminal), device_(device) {}

CNodeComparison::~CNodeComparison() {
    // The worker ends before the replies it hands over go.
    monitor_.reset();
    exchange_.reset();
    if (runs_)
        runs_->ReleasePort(port_);
}

std::string CNodeComparison::NodeText() const {
    return device_ < 0 ? std::to_string(terminal_)
                       : std::to_string(terminal_) + "/" + std::to_string(device_);
}

CTerminal* CNodeComparison::Terminal() const {
    return workspace_.FindTerminal(terminal_);
}

CDevice* CNodeComparison::Device() const {
    CTerminal* terminal = Terminal();
    return terminal && device_ >= 0 ? terminal->FindDevice(device_) : nullptr;
}

std::optional<ExchangeJob> CNodeComparison::MakeJob() {
    CTerminal* terminal = Terminal();
    CDevice* device = Device();
    if (!terminal || (device_ >= 0 && !device))
        return std::nullopt;
    commands_.clear();
    ExchangeJob job;
    TerminalSnapshot snapshot = terminal->Snapshot();
    job.phone = snapshot.phone;
    job.linkPassword = snapshot.password;
    // The reads of one node, addressed to the job's node `target`.
    auto add = [&](const CDevice* of, std::size_t target) {
        const CommandNode node = of ? DeviceCommandNode(of->Master()) : CommandNode::Terminal;
        const auto codes = of ? std::span<const std::int32_t>(kDeviceReads)
                              : std::span<const std::int32_t>(kTerminalReads);
        for (std::int32_t code : codes)
            for (const auto& command : workspace_.Catalogue().Commands())
                if (command->Code() == code && IsCommandOffered(*command, node)) {
                    job.commands.push_back({command->Spec(), command->Description(), target});
                    commands_.emplace_back(of ? of->Address() : -1,
                                           command->Name() + " " + command->Description());
                    break;
                }
    };
    if (device) {
        job.node = device->Snapshot();
        add(device, 0);
        job.others.emplace_back(std::in_place_type<TerminalSnapshot>, std::move(snapshot));
        add(nullptr, 1);
    } else {
        job.node = std::move(snapshot);
        add(nullptr, 0);
        for (const auto& each : terminal->Devices()) {
            job.others.emplace_back(std::in_place_type<DeviceSnapshot>, each->Snapshot());
            add(each.get(), job.others.size());
        }
    }
    if (job.commands.empty())
        return std::nullopt;
    return job;
}

void CNodeComparison::Keep(std::size_t index, ReplyValue value) {
    if (index < commands_.size())
        read_.push_back({commands_[index].first, commands_[index].second, std::move(value)});
}

CResult CNodeComparison::Start(CExchangeRuns& runs) {
    CTerminal* terminal = Terminal();
    if (!terminal || (device_ >= 0 && !Device()))
        return CResult::Fail(kNodeGoneMessage);
    if (runs.Holds(*terminal))
        return CResult::Fail(kTerminalInExchangeMessage);
    const std::string port = ModemPortName(workspace_.Settings());
    if (runs_ || runs.PortBusy(port))
        return CResult::Fail(PortBusyMessage(port));
    std::optional<ExchangeJob> job = MakeJob();
    if (!job)
        return CResult::Fail(kNoReadCommandsMessage);
    read_.clear();
    std::vector<std::string> secrets{terminal->Password()};
    for (const auto& device : terminal->Devices())
        secrets.push_back(device->Password());
    exchange_ = std::make_unique<CExchange>(workspace_.Settings());
    exchange_->SetModemLogFolder(workspace_.Folder());
    if (!exchange_->Start(std::move(*job)))
        return CResult::Fail(kExchangeStartFailedMessage);
    runs_ = &runs;
    port_ = port;
    runs.ReservePort(port);
    monitor_ = std::make_unique<CExchangeMonitor>(*exchange_);
    monitor_->SetSecrets(std::move(secrets));
    // Nothing is stored: the replies are kept for the comparison.
    monitor_->SetApplier([this](const PendingReply& reply) {
        Keep(reply.command, reply.value);
        return CExchangeMonitor::Verdict{CResult::Ok(), false};
    });
    return CResult::Ok();
}

CResult CNodeComparison::Finish() {
    if (!exchange_ || exchange_->GetState() == CExchange::kRunning)
        return CResult::Fail("Обмен не завершен");
    if (runs_)
        runs_->ReleasePort(std::exchange(port_, {}));
    runs_ = nullptr;
    if (exchange_->GetState() != CExchange::kFinished)
        return CResult::Fail("Сбой обмена: значения прибора не прочитаны");
    const std::vector<CommandOutcome> results = exchange_->Results();
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        const CommandOutcome outcome = i < results.size() ? results[i] : CommandOutcome{};
        if (outcome.state != kCommandDone)
            return CResult::Fail(commands_[i].second + ": " +
                                 std::string(CommandResultText(outcome.state, outcome.text)));
    }
    return CResult::Ok();
}

std::vector<NodeDifference> CNodeComparison::Differences() const {
    std::vector<NodeDifference> differences;
    const CTerminal* terminal = Terminal();
    if (!terminal)
        return differences;
    for (const ReadBack& read : read_) {
        const CDevice* device = read.device >= 0 ? terminal->FindDevice(read.device) : nullptr;
        std::visit(Overloaded{
                       [&](const StatusReply& status) {
                           if (device)
                               CompareStatus(*device, status, differences);
                       },
                       [&](const PhoneBookReply& book) {
                           if (device)
                               ComparePhones(*device, book, differences);
                       },
                       [&](const KeyReply& keys) {
                           if (device)
                               CompareKeys(*device, keys, differences);
                       },
                       [&](const LoopConfigReply& config) {
                           CompareLoops(*terminal, config, differences);
                       },
                       [](const auto&) {},
                   },
                   read.value);
    }
    return differences;
}

std::vector<std::int32_t>
CNodeComparison::WriteCodes(const std::vector<NodeDifference>& differences) {
    std::vector<std::int32_t> codes;
    for (const NodeDifference& difference : differences) {
        const std::int32_t code = difference.kind == DifferenceKind::Param   ? 17
                                  : difference.kind == DifferenceKind::Phone ? 24
                                  : difference.kind == DifferenceKind::Key   ? 9
                                                                             : 40;
        if (std::find(codes.begin(), codes.end(), code) == codes.end())
            codes.push_back(code);
    }
    return codes;
}

CResult CNodeComparison::TakeTerminalValues(CConfigTree& tree, const CExchangeRuns& runs) {
    CTerminal* terminal = Terminal();
    if (!terminal)
        return CResult::Fail(kNodeGoneMessage);
    if (runs.Holds(*terminal))
        return CResult::Fail(kTerminalInExchangeMessage);
    CResult taken;
    for (const ReadBack& read : read_) {
        CDevice* device = read.device >= 0 ? terminal->FindDevice(read.device) : nullptr;
        if (read.device >= 0 && !device)
            continue;
        taken = ApplyNodeReply(*terminal, device, read.value,
                               std::string(kCompareTitle) + ": " + read.command);
        if (CTreeNode* node = device ? tree.Find(*device) : tree.Find(*terminal))
            tree.NodeChanged(*node);
        if (!taken)
            break;
    }
    return taken;
}

} // namespace tornu
