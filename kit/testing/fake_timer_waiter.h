#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "kit/threaded_timer.h"

namespace kit::testing {

// A waiter stepped by hand: each wait lasts until the test calls Elapse (or
// the worker is woken to pause or stop). Records the interval of every wait.
class TFakeTimerWaiter : public kit::TTimerWaiter {
public:
    void Wait(std::unique_lock<std::mutex>& Lock, std::condition_variable& Wake, std::chrono::milliseconds Interval,
              const std::function<bool()>& Cancelled) override {
        {
            std::lock_guard<std::mutex> Guard(FStateLock);
            FWorkerLock = Lock.mutex();
            FWorkerWake = &Wake;
            FIntervals.push_back(Interval);
        }
        FChanged.notify_all();
        Wake.wait(Lock, [&] { return Cancelled() || TakePermit(); });
    }

    // Lets the current (or next) wait end as if its interval had passed.
    void Elapse() {
        std::mutex* WorkerLock = nullptr;
        std::condition_variable* WorkerWake = nullptr;
        {
            // Checked and counted in one step: a worker that begins its first
            // wait in between would otherwise miss the permit.
            std::lock_guard<std::mutex> Guard(FStateLock);
            if (FWorkerLock == nullptr) {
                ++FPermits;
                return;
            }
            WorkerLock = FWorkerLock;
            WorkerWake = FWorkerWake;
        }
        // Notified under the worker's lock: once it is let go, the worker may
        // end (and free its lock) at any moment.
        std::lock_guard<std::mutex> WorkerGuard(*WorkerLock);
        {
            std::lock_guard<std::mutex> Guard(FStateLock);
            ++FPermits;
        }
        WorkerWake->notify_all();
    }

    // Blocks until at least Count waits have begun; false after a generous
    // safety limit (a hung worker must fail the test, not hang it).
    bool WaitForWaits(std::size_t Count) {
        std::unique_lock<std::mutex> Guard(FStateLock);
        return FChanged.wait_for(Guard, std::chrono::seconds(10), [&] { return FIntervals.size() >= Count; });
    }

    std::vector<std::chrono::milliseconds> Intervals() const {
        std::lock_guard<std::mutex> Guard(FStateLock);
        return FIntervals;
    }

private:
    bool TakePermit() {
        std::lock_guard<std::mutex> Guard(FStateLock);
        if (FPermits == 0) {
            return false;
        }
        --FPermits;
        return true;
    }

    mutable std::mutex FStateLock;
    std::condition_variable FChanged;
    std::mutex* FWorkerLock = nullptr;
    std::condition_variable* FWorkerWake = nullptr;
    std::vector<std::chrono::milliseconds> FIntervals;
    int FPermits = 0;
};

// A waiter whose waits end at once: the worker ticks as fast as it can,
// letting go of its lock for a moment so that others get it.
class TImmediateTimerWaiter : public kit::TTimerWaiter {
public:
    void Wait(std::unique_lock<std::mutex>& Lock, std::condition_variable&, std::chrono::milliseconds,
              const std::function<bool()>&) override {
        Lock.unlock();
        std::this_thread::yield();
        Lock.lock();
    }
};

}  // namespace kit::testing
