#include "doc/ExchangeMonitor.h"

#include "comms/Exchange.h"

namespace tornu {

std::string LogTimeStamp(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
    return text;
}

CExchangeMonitor::CExchangeMonitor(CExchange& exchange, Clock clock)
    : exchange_(exchange),
      clock_(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })) {}

bool CExchangeMonitor::Poll(std::vector<ExchangeLogLine>& lines) {
    // The state first: lines the worker posted before it ended are all taken.
    const bool ended = !Running();
    std::string text;
    while (exchange_.PopStatus(text))
        lines.push_back({LogTimeStamp(clock_()), std::move(text)});
    return ended;
}

bool CExchangeMonitor::Running() const {
    return exchange_.GetState() == CExchange::kRunning;
}

void CExchangeMonitor::Cancel() {
    exchange_.Cancel();
}

} // namespace tornu
