#pragma once

namespace platform {

// Blocks the calling thread for a number of milliseconds. Code that waits
// takes one of these so that tests can record the waits instead of waiting.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void SleepMs(int Ms) = 0;
};

// Sleeps for real; one shared instance.
Sleeper& SystemSleeper();

}  // namespace platform
