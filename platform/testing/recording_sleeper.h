#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "platform/sleeper.h"

namespace platform::testing {

// Records every requested wait and returns at once; an optional hook lets a
// test move its fake time forward by the requested amount.
class RecordingSleeper final : public Sleeper {
public:
    RecordingSleeper() = default;
    explicit RecordingSleeper(std::function<void(int)> OnSleep) : FOnSleep(std::move(OnSleep)) {}

    void SleepMs(int Ms) override {
        FRequests.push_back(Ms);
        if (FOnSleep) {
            FOnSleep(Ms);
        }
    }
    const std::vector<int>& Requests() const { return FRequests; }

private:
    std::function<void(int)> FOnSleep;
    std::vector<int> FRequests;
};

}  // namespace platform::testing
