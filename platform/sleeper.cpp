#include "sleeper.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {

class ThreadSleeper final : public Sleeper {
public:
    void SleepMs(int Ms) override {
        if (Ms > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
        }
    }
};

}  // namespace

Sleeper& SystemSleeper() {
    static ThreadSleeper sleeper;
    return sleeper;
}

}  // namespace platform
