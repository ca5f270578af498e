#pragma once
// One process-wide scale for every protocol time-out and pause (packet waits,
// dialling, modem pauses, reply-wait steps). The program always runs at 1;
// tests shrink it so that a 60-second wait takes a fraction of a second.
#include <cstdint>

namespace tornu {

class CTimeScale {
public:
    // factor > 0; 1 means real time.
    static void Set(double factor);
    static double Get();

    // The scaled duration of ms milliseconds: at least 1 when ms is positive;
    // 0 and negative values (an infinite wait) are returned unchanged.
    static int Ms(int ms);

    // Sleeps for the scaled duration of ms milliseconds.
    static void Sleep(int ms);

    // Monotonic milliseconds since an arbitrary start (not scaled): the tick
    // count that byte timestamps are taken from.
    static std::int64_t NowMs();
};

// Sets the scale for the life of the object and puts the old one back.
class CScopedTimeScale {
public:
    explicit CScopedTimeScale(double factor) : old_(CTimeScale::Get()) { CTimeScale::Set(factor); }
    ~CScopedTimeScale() { CTimeScale::Set(old_); }
    CScopedTimeScale(const CScopedTimeScale&) = delete;
    CScopedTimeScale& operator=(const CScopedTimeScale&) = delete;

private:
    double old_;
};

} // namespace tornu
