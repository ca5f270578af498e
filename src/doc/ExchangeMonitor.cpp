#include "doc/ExchangeMonitor.h"

#include "comms/Exchange.h"
#include "protocol/TimeStamp.h"
#include "settings/PrivateFile.h"

#include <algorithm>
#include <fstream>

namespace tornu {

CExchangeMonitor::CExchangeMonitor(CExchange& exchange, Clock clock)
    : exchange_(exchange),
      clock_(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })) {}

bool CExchangeMonitor::Poll(std::vector<ExchangeLogLine>& lines) {
    // The state first: lines the worker posted before it ended are all taken.
    const bool ended = !Running();
    PendingReply reply;
    if (apply_ && exchange_.TakeReply(reply)) {
        Verdict verdict = apply_(reply);
        exchange_.ReplyApplied(std::move(verdict.applied), verdict.stop);
    }
    std::string text;
    while (exchange_.PopStatus(text))
        lines.push_back({TimeStamp(clock_()), std::move(text)});
    return ended;
}

bool CExchangeMonitor::Running() const {
    return exchange_.GetState() == CExchange::kRunning;
}

void CExchangeMonitor::Wait(int ms) {
    exchange_.WaitActivity(ms);
}

void CExchangeMonitor::Cancel() {
    exchange_.Cancel();
}

void CExchangeMonitor::RequestCancel() {
    exchange_.RequestCancel();
}

std::string MaskSecrets(std::string_view text, const std::vector<std::string>& secrets) {
    constexpr std::string_view kMask = "***";
    std::string masked(text);
    // Longest first, so that a password holding another is hidden whole.
    std::vector<std::string> sorted(secrets);
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& secret : sorted) {
        if (secret.empty())
            continue;
        for (std::size_t at = masked.find(secret); at != std::string::npos;
             at = masked.find(secret, at + kMask.size()))
            masked.replace(at, secret.size(), kMask);
    }
    for (std::string_view key : {"PASS=", "NPSWD=", "NPASS="}) {
        for (std::size_t at = masked.find(key); at != std::string::npos;
             at = masked.find(key, at + 1)) {
            // "NPASS=" holds "PASS=": only a key that starts a pair counts.
            if (at > 0 && masked[at - 1] != ';' && masked[at - 1] != ' ' && masked[at - 1] != '"')
                continue;
            const std::size_t value = at + key.size();
            const std::size_t end = std::min(masked.find(';', value), masked.size());
            masked.replace(value, end - value, kMask);
        }
    }
    return masked;
}

bool CExchangeMonitor::SaveLog(const std::string& path,
                               const std::vector<ExchangeLogLine>& lines) const {
    // Numbers and commands stay in it: a new file is its owner's alone.
    CreatePrivateFile(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const ExchangeLogLine& line : lines)
        out << line.time << '\t' << MaskSecrets(line.text, secrets_) << '\n';
    out.close();
    return static_cast<bool>(out);
}

} // namespace tornu
