#include "comms/TimeScale.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace tornu {

namespace {
std::atomic<double> g_factor{1.0};
}

void CTimeScale::Set(double factor) {
    if (factor > 0 && std::isfinite(factor))
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

void CTimeScale::Sleep(int ms) {
    const int scaled = Ms(ms);
    if (scaled > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(scaled));
}

std::int64_t CTimeScale::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace tornu
