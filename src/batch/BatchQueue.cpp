#include "batch/BatchQueue.h"

#include "comms/TimeScale.h"
#include "protocol/ErrorText.h"

#include <algorithm>

namespace tornu {

namespace {

// Protocol time, so that a test that shrinks the scale shrinks the delays.
class CScaledClock : public IBatchClock {
public:
    std::int64_t NowMs() override { return CTimeScale::ScaledNowMs(); }
    void Idle(CActivitySignal& signal, std::uint64_t seen, int ms) override {
        signal.Wait(seen, CTimeScale::Ms(ms));
    }
};

// The error line that decided the call: the first failed command's for a
// refused command, else the last error line posted.
std::string CauseOf(const std::vector<std::string>& log, const std::vector<CommandOutcome>& results,
                    BatchVerdict verdict) {
    const std::string_view prefix = kReportErrorPrefix;
    if (verdict == BatchVerdict::kFailed)
        for (const CommandOutcome& outcome : results)
            if (outcome.state == kCommandFailed)
                return outcome.text.substr(outcome.text.rfind(prefix, 0) == 0 ? prefix.size() : 0);
    for (auto line = log.rbegin(); line != log.rend(); ++line)
        if (line->rfind(prefix, 0) == 0)
            return line->substr(prefix.size());
    return verdict == BatchVerdict::kCancelled ? "Обмен отменен" : std::string();
}

} // namespace

BatchVerdict JudgeExchange(ExchangeEnd cause, const std::vector<CommandOutcome>& results) {
    switch (cause) {
    case ExchangeEnd::kCompleted: {
        const auto failed = [](const CommandOutcome& o) { return o.state == kCommandFailed; };
        const auto done = [](const CommandOutcome& o) { return o.state == kCommandDone; };
        if (std::any_of(results.begin(), results.end(), failed))
            return BatchVerdict::kFailed;
        return std::all_of(results.begin(), results.end(), done) ? BatchVerdict::kDone
                                                                 : BatchVerdict::kRetry;
    }
    case ExchangeEnd::kBusy:
    case ExchangeEnd::kNoAnswer:
    case ExchangeEnd::kNoCarrier:
    case ExchangeEnd::kDialFailed:
    case ExchangeEnd::kNoReceipt:
    case ExchangeEnd::kLinkLost:
    // The database, not the terminal: its next call may find it back.
    case ExchangeEnd::kStoreFailed:
        return BatchVerdict::kRetry;
    case ExchangeEnd::kPortFailed:
    case ExchangeEnd::kModemSilent:
        return BatchVerdict::kPortFailed;
    case ExchangeEnd::kCancelled:
        return BatchVerdict::kCancelled;
    case ExchangeEnd::kNone:
    case ExchangeEnd::kNoPhone:
    case ExchangeEnd::kNoPassword:
    case ExchangeEnd::kBadReceipt:
    case ExchangeEnd::kLoginRefused:
        break;
    }
    return BatchVerdict::kFailed;
}

CBatchQueue::CBatchQueue(std::vector<BatchPort> ports, BatchSettings settings, IBatchSink& sink,
                         IBatchClock* clock)
    : settings_(settings), sink_(sink),
      ownClock_(clock ? nullptr : std::make_unique<CScaledClock>()),
      clock_(clock ? *clock : *ownClock_) {
    for (BatchPort& port : ports)
        slots_.push_back({std::move(port), nullptr, std::nullopt, {}, false});
}

CBatchQueue::~CBatchQueue() {
    for (Slot& slot : slots_)
        if (slot.exchange)
            slot.exchange->Cancel();
}

std::size_t CBatchQueue::PortsLeft() const {
    return static_cast<std::size_t>(
        std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.lost; }));
}

bool CBatchQueue::Running() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.item.has_value(); });
}

bool CBatchQueue::Run(const std::vector<int>& terminals, const std::function<bool()>& stop) {
    Start(terminals);
    for (;;) {
        if (!stopping_ && stop && stop())
            Stop();
        if (!Poll())
            break;
        Wait();
    }
    return left_.empty();
}

void CBatchQueue::Start(const std::vector<int>& terminals) {
    queue_.clear();
    left_.clear();
    stopping_ = false;
    paused_ = false;
    for (int terminal : terminals)
        queue_.push_back({terminal, 0, 0});
}

void CBatchQueue::Stop() {
    if (stopping_)
        return;
    stopping_ = true;
    for (Slot& slot : slots_)
        if (slot.item)
            slot.exchange->RequestCancel();
}

bool CBatchQueue::Poll() {
    seen_ = signal_->Count();
    Collect();
    if (!stopping_ && !paused_)
        Dispatch();
    if (Running() || (!stopping_ && !queue_.empty() && PortsLeft() > 0))
        return true;
    left_.clear();
    for (const Item& item : queue_)
        left_.push_back(item.terminal);
    return false;
}

void CBatchQueue::Wait() {
    if (Running()) {
        signal_->Wait(seen_, kWakeMs);
        return;
    }
    // Only terminals waiting for their retry are left, or a pause.
    std::int64_t wait = kWakeMs;
    if (!paused_ && !queue_.empty())
        wait = std::min_element(queue_.begin(), queue_.end(), [](const Item& a, const Item& b) {
                   return a.notBefore < b.notBefore;
               })->notBefore - clock_.NowMs();
    // In short steps: a stop asked for meanwhile wakes nothing.
    if (wait > 0)
        clock_.Idle(*signal_, seen_, static_cast<int>(std::min<std::int64_t>(wait, kWakeMs)));
}

void CBatchQueue::Collect() {
    for (Slot& slot : slots_) {
        if (!slot.item)
            continue;
        CExchange& exchange = *slot.exchange;
        // The state first: the lines posted before the end are all taken.
        const bool ended = exchange.GetState() != CExchange::kRunning;
        PendingReply reply;
        if (exchange.TakeReply(reply)) {
            bool stop = false;
            CResult applied = sink_.ApplyReply(slot.item->terminal, reply, stop);
            exchange.ReplyApplied(std::move(applied), stop);
        }
        for (std::string line; exchange.PopStatus(line);)
            slot.log.push_back(std::move(line));
        if (ended)
            End(slot);
    }
}

void CBatchQueue::End(Slot& slot) {
    Item item = *std::exchange(slot.item, std::nullopt);
    // The worker has posted its end and may not yet have returned: the port
    // takes its next call once it has.
    slot.exchange->Cancel();
    BatchCallEnd end;
    end.terminal = item.terminal;
    end.attempt = item.attempts;
    end.results = slot.exchange->Results();
    end.verdict = JudgeExchange(slot.exchange->EndCause(), end.results);
    end.log = std::move(slot.log);
    slot.log.clear();
    end.cause = CauseOf(end.log, end.results, end.verdict);
    switch (end.verdict) {
    case BatchVerdict::kDone:
    case BatchVerdict::kFailed:
        end.final = true;
        break;
    case BatchVerdict::kRetry:
        end.final = item.attempts >= settings_.attempts;
        if (!end.final) {
            item.notBefore = clock_.NowMs() + settings_.retryDelayMs;
            queue_.push_back(item);
        }
        break;
    case BatchVerdict::kPortFailed:
        // Not the terminal's fault: it goes first to another port, the
        // attempt not counted.
        slot.lost = true;
        sink_.PortLost(slot.port.name, end.cause);
        --item.attempts;
        queue_.push_front(item);
        break;
    case BatchVerdict::kCancelled:
        queue_.push_front(item);
        break;
    }
    sink_.Ended(end);
}

void CBatchQueue::Dispatch() {
    for (Slot& slot : slots_) {
        while (!slot.lost && !slot.item) {
            const std::int64_t now = clock_.NowMs();
            const auto ready = std::find_if(queue_.begin(), queue_.end(),
                                            [&](const Item& item) { return item.notBefore <= now; });
            if (ready == queue_.end())
                return;
            Item item = *ready;
            queue_.erase(ready);
            std::string why;
            std::optional<ExchangeJob> job = sink_.MakeJob(item.terminal, why);
            if (!job && why.empty())
                continue; // another program runs it
            if (!job || job->commands.empty()) {
                sink_.Skipped(item.terminal, job ? "Нет команд для этого базового модуля" : why);
                continue;
            }
            if (!slot.exchange) {
                slot.exchange = std::make_unique<CExchange>(slot.port.modem);
                slot.exchange->SetActivitySignal(signal_);
                if (factory_)
                    slot.exchange->SetStreamFactory(factory_);
                if (!logFolder_.empty())
                    slot.exchange->SetModemLogFolder(logFolder_);
            }
            ++item.attempts;
            if (!slot.exchange->Start(std::move(*job))) {
                sink_.Skipped(item.terminal, "Невозможно запустить обмен");
                continue;
            }
            slot.item = item;
            sink_.Started(item.terminal, slot.port.name, item.attempts);
        }
    }
}

} // namespace tornu
