#include "monotonic_clock.h"

namespace platform {

namespace {

class SteadyClock final : public MonotonicClock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace

const MonotonicClock& SystemClock() {
    static const SteadyClock clock;
    return clock;
}

}  // namespace platform
