#pragma once

#include "platform/monotonic_clock.h"

namespace platform::testing {

// A clock that moves only when a test advances it.
class FakeClock final : public MonotonicClock {
public:
    TimePoint Now() const override { return FNow; }
    void Advance(std::chrono::nanoseconds step) { FNow += step; }

private:
    TimePoint FNow{std::chrono::hours(1)};
};

}  // namespace platform::testing
