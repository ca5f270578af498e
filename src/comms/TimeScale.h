#pragma once
// One process-wide scale for the time the serial port waits and pauses (every
// time-out and pause of the modem and the exchange goes through it) and for
// the simulator's delays. The program always runs at 1; tests against the
// simulator shrink it so that a 60-second wait takes a fraction of a second.
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

    // Monotonic milliseconds since an arbitrary start (not scaled).
    static std::int64_t NowMs();

    // The clock that scaled waits run on: real time divided by the factor, so
    // that a wait of Ms(x) moves it by about x. Changing the factor does not
    // make it jump.
    static std::int64_t ScaledNowMs();
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
