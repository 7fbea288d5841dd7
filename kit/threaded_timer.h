#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "kit/exception.h"
#include "kit/ui_dispatch.h"

class QTimer;

namespace kit {

// Raised when a window timer cannot be started.
class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

// The wait between two ticks of a worker. Wait is entered and left with Lock
// held; it returns when Interval has passed or as soon as Cancelled() holds
// (whoever makes it hold notifies Wake). Tests put in a waiter they step by hand.
class TTimerWaiter {
public:
    virtual ~TTimerWaiter() = default;
    virtual void Wait(std::unique_lock<std::mutex>& Lock, std::condition_variable& Wake,
                      std::chrono::milliseconds Interval, const std::function<bool()>& Cancelled) = 0;
};

// Waits on the condition variable for the real interval.
TTimerWaiter& SystemTimerWaiter();

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThreadedTimer;

// The worker of a threaded timer: sleeps, ticks, sleeps ... while it runs;
// waits on its condition variable while paused. Its owner stops and joins it.
// (A plain standard thread, so that thread checkers see every hand-over.)
class TTimerThread {
public:
    TTimerThread(TThreadedTimer* Owner, TTimerWaiter& Waiter);
    ~TTimerThread();
    TTimerThread(const TTimerThread&) = delete;
    TTimerThread& operator=(const TTimerThread&) = delete;

    // Copies the interval; lets the worker run or pauses it. A pause takes
    // effect between ticks. The thread itself starts on the first run.
    void Configure(unsigned Interval, bool Run, TThreadPriority Priority);
    // Stops for good: no further tick, a pending synchronous call is cancelled.
    void Stop();
    // Stops for good without waiting: for a worker whose tick is still on the
    // stack. The worker deletes itself when its loop ends.
    void StopDetached();
    // Stops for good and waits for the thread to end.
    void Join();
    bool IsWorkerThread() const { return std::this_thread::get_id() == FThread.get_id(); }
    // Runs Method on the UI thread and waits for it; see TThreadedTimer.
    void RunSynchronized(const std::function<void()>& Method);
    // True while the UI thread is inside a synchronous call of this worker.
    bool InSynchronizedCall() const;
    // True while a synchronous call waits for the UI thread.
    bool CallPending() const;
    bool Paused() const;

private:
    struct TSyncCall;
    void Run();
    bool StopRequested() const;  // FLock held

    mutable std::mutex FLock;
    std::condition_variable FWake;
    TThreadedTimer* FOwner;
    TTimerWaiter& FWaiter;
    unsigned FInterval = 1000;
    TThreadPriority FPriority = TThreadPriority::tpNormal;
    bool FRunning = false;
    bool FTerminate = false;
    bool FDetached = false;
    std::shared_ptr<TSyncCall> FPendingCall;
    std::thread FThread;
};

// A timer whose ticks come from a worker thread of its own or, with Threaded
// off, from a UI-thread timer. With SyncEvent on, the tick handler runs on the
// UI thread; with it off, on the worker, which keeps ticking while the UI
// thread is blocked.
class TThreadedTimer : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(unsigned Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(bool SyncEvent READ SyncEvent WRITE SetSyncEvent)
    Q_PROPERTY(bool Threaded READ Threaded WRITE SetThreaded)
public:
    using TTimerEvent = std::function<void(QObject* Sender)>;

    explicit TThreadedTimer(QObject* Owner = nullptr, TTimerWaiter& Waiter = SystemTimerWaiter());
    ~TThreadedTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned Value);
    bool SyncEvent() const { return FSyncEvent; }
    void SetSyncEvent(bool Value) { FSyncEvent = Value; }
    bool Threaded() const { return FThreaded; }
    void SetThreaded(bool Value);
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority Value);
    void SetOnTimer(TTimerEvent Handler);
    bool HasOnTimer() const;

    // Runs Method on the UI thread and waits for it: directly when called on
    // the UI thread, queued otherwise. While the timer is stopping the call is
    // dropped. An error raised by Method is raised again here.
    void RunSynchronized(const std::function<void()>& Method);

    // True while the worker is paused (for the window timer, for no handler ...).
    bool WorkerPaused() const { return FWorker == nullptr || FWorker->Paused(); }
    // True while a tick waits for the UI thread to run its handler.
    bool WaitingForUiThread() const { return FWorker != nullptr && FWorker->CallPending(); }

    // Stops the timer for good: after it no tick runs (a running tick has
    // finished, one waiting for the UI thread is cancelled). The destructor
    // does it too; an owner calls it first when its ticks use the owner's state.
    void Shutdown();

protected:
    virtual void FireTimer();

private:
    friend class TTimerThread;
    // Decides from the settings whether the worker (or the window timer) runs,
    // and at which interval. Called with FSettingsLock held.
    void ApplyTimerSettings();
    // Stores a changed setting and applies the settings, both under
    // FSettingsLock: whichever thread changes a setting last, the UI thread or
    // a tick on the worker, decides from the settings as they are then.
    template <typename TField, typename TValue>
    void ChangeSetting(TField& Field, TValue Value);
    void WorkerTick(TTimerThread& Worker);
    void WindowTick();

    std::atomic<bool> FEnabled{true};
    std::atomic<unsigned> FInterval{1000};
    std::atomic<bool> FSyncEvent{true};
    bool FThreaded = true;
    TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
    // Guards the settings from their change to their application, and the handler.
    mutable std::mutex FSettingsLock;
    TTimerEvent FOnTimer;
    std::atomic<bool> FDestroying{false};
    bool FShutDown = false;
    QTimer* FWindowTimer = nullptr;
    TTimerThread* FWorker;
    TAliveToken FAlive = MakeAliveToken();
};

}  // namespace kit
