#pragma once
// The log window's side of a running exchange: its polling step and its
// cancel. The window's timer only calls Poll, which also applies the reply
// the worker waits on, on the window's (the document's) thread. Cancel
// blocks until the worker has ended; a window that must stay responsive asks
// with RequestCancel and polls until the end.
#include "comms/ExchangeJob.h"
#include "settings/Result.h"

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CExchange;

inline constexpr const char* kExchangeEndedQuestion = "Обмен завершен. Закрыть окно лога?";
inline constexpr const char* kCancelExchangeQuestion = "Отменить операцию?";

struct ExchangeLogLine {
    std::string time; // "%d.%m.%Y %H:%M:%S", when the line was taken
    std::string text;
};

class CExchangeMonitor {
public:
    using Clock = std::function<std::time_t()>;

    explicit CExchangeMonitor(CExchange& exchange, Clock clock = {});

    // What applying a reply gave; `stop` when it could not be stored, which
    // ends the exchange.
    struct Verdict {
        CResult applied;
        bool stop = false;
    };
    using Applier = std::function<Verdict(const PendingReply&)>;

    // Appends every waiting status line, stamped with the local time of now,
    // after applying a reply that waits; true once the exchange has ended (no
    // line is left behind then).
    bool Poll(std::vector<ExchangeLogLine>& lines);
    // Returns when there is something to poll, or after `ms` milliseconds:
    // for callers without a window's timer.
    void Wait(int ms);
    // What applies the replies; without one a reply waits.
    void SetApplier(Applier apply) { apply_ = std::move(apply); }
    bool Running() const;
    // Stops the exchange; returns when its worker has ended.
    void Cancel();
    // Asks the exchange to stop and returns at once; Poll tells the end.
    void RequestCancel();

    // "Сохранить лог...": the lines (time stamp, tab, text) as UTF-8, every
    // password of the exchange and every "PASS="/"NPSWD="/"NPASS=" value
    // shown as "***", so that a log can go to support. False when the file
    // could not be written.
    bool SaveLog(const std::string& path, const std::vector<ExchangeLogLine>& lines) const;
    // The passwords to hide, taken before the exchange starts.
    void SetSecrets(std::vector<std::string> secrets) { secrets_ = std::move(secrets); }

private:
    CExchange& exchange_;
    Clock clock_;
    Applier apply_;
    std::vector<std::string> secrets_;
};

// `text` with each of `secrets` (the non-empty ones) and every value of a
// "PASS=", "NPSWD=" or "NPASS=" pair replaced by "***".
std::string MaskSecrets(std::string_view text, const std::vector<std::string>& secrets);

} // namespace tornu
