#pragma once

#include <cstdint>

#include "platform/monotonic_clock.h"

namespace reader {

// A millisecond time-out timer on the monotonic clock.
class TTalvoTimer {
public:
    explicit TTalvoTimer(int TimeoutMs, const platform::MonotonicClock& Clock = platform::SystemClock());

    // Restarts the timer with a new time-out; 0 or negative counts as 0.
    void SetTimeout(int Ms);
    void Restart();
    int32_t ElapsedMs() const;
    // True once more than the time-out has elapsed.
    bool Expired() const;
    int TimeoutMs() const { return FTimeoutMs; }

private:
    const platform::MonotonicClock& FClock;
    platform::MonotonicClock::TimePoint FStart;
    int FTimeoutMs = 0;
};

}  // namespace reader
