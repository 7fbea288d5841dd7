#include "talvo_timer.h"

#include <chrono>

namespace reader {

TTalvoTimer::TTalvoTimer(int TimeoutMs, const platform::MonotonicClock& Clock) : FClock(Clock) {
    SetTimeout(TimeoutMs);
}

void TTalvoTimer::SetTimeout(int Ms) {
    Restart();
    FTimeoutMs = Ms > 0 ? Ms : 0;
}

void TTalvoTimer::Restart() { FStart = FClock.Now(); }

int32_t TTalvoTimer::ElapsedMs() const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(FClock.Now() - FStart).count();
    return static_cast<int32_t>(elapsed < 0 ? -elapsed : elapsed);
}

bool TTalvoTimer::Expired() const { return ElapsedMs() > FTimeoutMs; }

}  // namespace reader
