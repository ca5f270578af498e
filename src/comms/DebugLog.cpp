#include "comms/DebugLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tornu {

namespace {
// -1: not decided yet (read the environment once), 0 off, 1 on.
std::atomic<int> g_state{-1};
} // namespace

bool CDebugLog::Enabled() {
    int state = g_state.load(std::memory_order_relaxed);
    if (state < 0) {
        const char* value = std::getenv("TORNU_DEBUG");
        state = value != nullptr ? 1 : 0;
        int expected = -1;
        if (!g_state.compare_exchange_strong(expected, state))
            state = expected;
    }
    return state == 1;
}

void CDebugLog::SetEnabled(bool on) {
    g_state.store(on ? 1 : 0);
}

void CDebugLog::Write(const char* format, ...) {
    if (!Enabled())
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n <= 0)
        return;
    // One write per text so that lines from two threads do not interleave.
    const std::size_t length = static_cast<std::size_t>(n) < sizeof text ? n : sizeof text - 1;
    std::fwrite(text, 1, length, stderr);
    std::fflush(stderr);
}

} // namespace tornu
