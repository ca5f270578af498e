#include "comms/TimeScale.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>

namespace tornu {

namespace {

std::atomic<double> g_factor{1.0};

// Where the scaled clock stood when the factor last changed.
struct ScaledBase {
    std::mutex lock;
    std::int64_t realMs = 0;
    double scaledMs = 0;
};

ScaledBase& Base() {
    static ScaledBase base;
    return base;
}

} // namespace

void CTimeScale::Set(double factor) {
    if (!(factor > 0 && std::isfinite(factor)))
        return;
    ScaledBase& base = Base();
    std::lock_guard lock(base.lock);
    const std::int64_t now = NowMs();
    base.scaledMs += (now - base.realMs) / g_factor.load(std::memory_order_relaxed);
    base.realMs = now;
    g_factor.store(factor, std::memory_order_relaxed);
}

double CTimeScale::Get() {
    return g_factor.load(std::memory_order_relaxed);
}

int CTimeScale::Ms(int ms) {
    if (ms <= 0)
        return ms;
    const double scaled = std::round(ms * Get());
    if (scaled < 1)
        return 1;
    if (scaled > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(scaled);
}

std::int64_t CTimeScale::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t CTimeScale::ScaledNowMs() {
    ScaledBase& base = Base();
    std::lock_guard lock(base.lock);
    return static_cast<std::int64_t>(base.scaledMs + (NowMs() - base.realMs) /
                                                         g_factor.load(std::memory_order_relaxed));
}

} // namespace tornu
