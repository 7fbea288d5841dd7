#pragma once

#include <chrono>

namespace platform {

// A source of monotonic time. Code that measures time-outs takes one of these
// so that tests can drive time by hand instead of waiting.
class MonotonicClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~MonotonicClock() = default;
    virtual TimePoint Now() const = 0;
};

// The system's steady clock; one shared instance.
const MonotonicClock& SystemClock();

}  // namespace platform
