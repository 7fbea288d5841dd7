#include "kit/threaded_timer.h"

#include <pthread.h>
#include <sched.h>

#include <QCoreApplication>
#include <QTimer>
#include <utility>

namespace kit {

namespace {

class TSystemTimerWaiter : public TTimerWaiter {
public:
    void Wait(std::unique_lock<std::mutex>& Lock, std::condition_variable& Wake, std::chrono::milliseconds Interval,
              const std::function<bool()>& Cancelled) override {
        Wake.wait_for(Lock, Interval, Cancelled);
    }
};

// The platform schedules ordinary threads without priorities; the idle
// priority is the one that has an effect (the thread runs only when the
// processor has nothing else to do).
void ApplyPriority(TThreadPriority Priority) {
    sched_param Parameters{};
    pthread_setschedparam(pthread_self(), Priority == TThreadPriority::tpIdle ? SCHED_IDLE : SCHED_OTHER, &Parameters);
}

}  // namespace

TTimerWaiter& SystemTimerWaiter() {
    static TSystemTimerWaiter Waiter;
    return Waiter;
}

// One call handed from a worker to the UI thread. Its state is guarded by its
// own lock so that either side may go away first.
struct TTimerThread::TSyncCall {
    enum class EState { Pending, Running, Done, Cancelled };

    explicit TSyncCall(std::function<void()> ToRun) : Method(std::move(ToRun)) {}

    void RunOnUiThread() {
        {
            std::lock_guard<std::mutex> Guard(Lock);
            if (State != EState::Pending) {
                return;
            }
            State = EState::Running;
        }
        std::exception_ptr Raised;
        try {
            Method();
        } catch (...) {
            Raised = std::current_exception();
        }
        std::lock_guard<std::mutex> Guard(Lock);
        Error = Raised;
        State = EState::Done;
        Finished.notify_all();
    }

    void Cancel() {
        std::lock_guard<std::mutex> Guard(Lock);
        if (State == EState::Pending) {
            State = EState::Cancelled;
            Finished.notify_all();
        }
    }

    std::mutex Lock;
    std::condition_variable Finished;
    EState State = EState::Pending;
    std::function<void()> Method;
    std::exception_ptr Error;
};

TTimerThread::TTimerThread(TThreadedTimer* Owner, TTimerWaiter& Waiter) : FOwner(Owner), FWaiter(Waiter) {}

TTimerThread::~TTimerThread() { Join(); }

void TTimerThread::Join() {
    Stop();
    if (FThread.joinable()) {
        FThread.join();
    }
}

bool TTimerThread::StopRequested() const {
    return FTerminate || FOwner == nullptr || !FRunning || QCoreApplication::closingDown();
}

void TTimerThread::Configure(unsigned Interval, bool Run, TThreadPriority Priority) {
    {
        std::lock_guard<std::mutex> Guard(FLock);
        if (FTerminate) {
            return;
        }
        FInterval = Interval;
        FRunning = Run;
        FPriority = Priority;
    }
    FWake.notify_all();
    if (Run && !FThread.joinable()) {
        FThread = std::thread([this] { this->Run(); });
    }
}

bool TTimerThread::Paused() const {
    std::lock_guard<std::mutex> Guard(FLock);
    return !FRunning || FTerminate;
}

void TTimerThread::Stop() {
    std::shared_ptr<TSyncCall> Pending;
    {
        std::lock_guard<std::mutex> Guard(FLock);
        FTerminate = true;
        FOwner = nullptr;
        Pending = FPendingCall;
    }
    FWake.notify_all();
    if (Pending) {
        Pending->Cancel();
    }
}

void TTimerThread::StopDetached() {
    {
        std::lock_guard<std::mutex> Guard(FLock);
        FDetached = true;
    }
    Stop();
    FThread.detach();
}

bool TTimerThread::InSynchronizedCall() const {
    std::shared_ptr<TSyncCall> Pending;
    {
        std::lock_guard<std::mutex> Guard(FLock);
        Pending = FPendingCall;
    }
    if (!Pending || !IsUiThread()) {
        return false;
    }
    std::lock_guard<std::mutex> Guard(Pending->Lock);
    return Pending->State == TSyncCall::EState::Running;
}

bool TTimerThread::CallPending() const {
    std::lock_guard<std::mutex> Guard(FLock);
    return FPendingCall != nullptr;
}

void TTimerThread::RunSynchronized(const std::function<void()>& Method) {
    if (IsUiThread()) {
        Method();
        return;
    }
    auto Call = std::make_shared<TSyncCall>(Method);
    {
        std::lock_guard<std::mutex> Guard(FLock);
        if (FTerminate || FOwner == nullptr) {
            return;
        }
        FPendingCall = Call;
    }
    PostToUiThread([Call] { Call->RunOnUiThread(); });
    std::exception_ptr Error;
    {
        std::unique_lock<std::mutex> CallLock(Call->Lock);
        Call->Finished.wait(CallLock, [&Call] {
            return Call->State == TSyncCall::EState::Done || Call->State == TSyncCall::EState::Cancelled;
        });
        Error = Call->Error;
    }
    {
        std::lock_guard<std::mutex> Guard(FLock);
        if (FPendingCall == Call) {
            FPendingCall.reset();
        }
    }
    if (Error) {
        std::rethrow_exception(Error);
    }
}

void TTimerThread::Run() {
    std::unique_lock<std::mutex> Lock(FLock);
    TThreadPriority Applied = TThreadPriority::tpNormal;
    while (!FTerminate) {
        if (FPriority != Applied) {
            Applied = FPriority;
            ApplyPriority(Applied);
        }
        if (StopRequested()) {
            FWake.wait(Lock, [this] { return FTerminate || (FRunning && FOwner != nullptr); });
            continue;
        }
        FWaiter.Wait(Lock, FWake, std::chrono::milliseconds(FInterval), [this] { return StopRequested(); });
        if (StopRequested()) {
            continue;
        }
        TThreadedTimer* Owner = FOwner;
        Lock.unlock();
        // The owner joins this thread before it goes, so it outlives the tick;
        // a tick that destroys its own timer leaves this thread detached.
        Owner->WorkerTick(*this);
        Lock.lock();
    }
    const bool SelfDelete = FDetached;
    Lock.unlock();
    if (SelfDelete) {
        delete this;
    }
}

TThreadedTimer::TThreadedTimer(QObject* Owner, TTimerWaiter& Waiter)
    : QObject(Owner), FWorker(new TTimerThread(this, Waiter)) {
    PrepareUiDispatch();
}

TThreadedTimer::~TThreadedTimer() {
    Shutdown();
    delete FWorker;
}

void TThreadedTimer::Shutdown() {
    if (FShutDown) {
        return;
    }
    FShutDown = true;
    FDestroying = true;
    FEnabled = false;
    TTimerEvent Cleared;  // released after the lock, as in SetOnTimer
    {
        std::lock_guard<std::mutex> Guard(FSettingsLock);
        Cleared = std::exchange(FOnTimer, nullptr);
    }
    if (FWorker->IsWorkerThread() || FWorker->InSynchronizedCall()) {
        // Called from inside one of its own ticks: the tick is still on the
        // stack, so the worker cannot be joined here. It stops after the tick
        // and deletes itself.
        FWorker->StopDetached();
        FWorker = nullptr;
    } else {
        FWorker->Join();
    }
}

template <typename TField, typename TValue>
void TThreadedTimer::ChangeSetting(TField& Field, TValue Value) {
    std::lock_guard<std::mutex> Guard(FSettingsLock);
    if (Field != Value) {
        Field = Value;
        ApplyTimerSettings();
    }
}

void TThreadedTimer::SetEnabled(bool Value) { ChangeSetting(FEnabled, Value); }
void TThreadedTimer::SetInterval(unsigned Value) { ChangeSetting(FInterval, Value); }
void TThreadedTimer::SetThreaded(bool Value) { ChangeSetting(FThreaded, Value); }

void TThreadedTimer::SetThreadPriority(TThreadPriority Value) {
    std::lock_guard<std::mutex> Guard(FSettingsLock);
    if (FThreadPriority != Value) {
        FThreadPriority = Value;
        if (FThreaded) {
            ApplyTimerSettings();
        }
    }
}

void TThreadedTimer::SetOnTimer(TTimerEvent Handler) {
    TTimerEvent Replaced;  // released after the lock: what it holds may use the timer as it goes
    std::lock_guard<std::mutex> Guard(FSettingsLock);
    const bool AssignmentChanged = static_cast<bool>(FOnTimer) != static_cast<bool>(Handler);
    Replaced = std::exchange(FOnTimer, std::move(Handler));
    if (AssignmentChanged) {
        ApplyTimerSettings();
    }
}

bool TThreadedTimer::HasOnTimer() const {
    std::lock_guard<std::mutex> Guard(FSettingsLock);
    return static_cast<bool>(FOnTimer);
}

void TThreadedTimer::RunSynchronized(const std::function<void()>& Method) {
    if (FWorker != nullptr) {
        FWorker->RunSynchronized(Method);
    } else if (IsUiThread()) {
        Method();
    }
}

void TThreadedTimer::ApplyTimerSettings() {
    if (FWorker == nullptr) {
        return;
    }
    const bool Wanted = FInterval != 0 && FEnabled && FOnTimer && !FDestroying;
    const TThreadPriority Priority = FThreadPriority;
    if (FThreaded) {
        delete FWindowTimer;
        FWindowTimer = nullptr;
        FWorker->Configure(FInterval, Wanted, Priority);
        return;
    }
    FWorker->Configure(FInterval, false, Priority);
    if (FWindowTimer == nullptr) {
        FWindowTimer = new QTimer(this);
        connect(FWindowTimer, &QTimer::timeout, this, &TThreadedTimer::WindowTick);
    } else {
        FWindowTimer->stop();
    }
    if (Wanted) {
        FWindowTimer->start(static_cast<int>(FInterval));
        if (!FWindowTimer->isActive()) {
            throw EOutOfResources("Not enough timers available");
        }
    }
}

void TThreadedTimer::FireTimer() {
    if (!FEnabled || FDestroying) {
        return;
    }
    TTimerEvent Handler;
    {
        std::lock_guard<std::mutex> Guard(FSettingsLock);
        Handler = FOnTimer;
    }
    if (Handler) {
        Handler(this);
    }
}

void TThreadedTimer::WorkerTick(TTimerThread& Worker) {
    if (!FEnabled) {
        return;
    }
    // Copied first: the handler may destroy this timer.
    const std::weak_ptr<int> Alive = FAlive;
    try {
        if (FSyncEvent) {
            Worker.RunSynchronized([this] { FireTimer(); });
        } else {
            FireTimer();
        }
    } catch (...) {
        ReportException(this, std::current_exception(), Alive);
    }
}

void TThreadedTimer::WindowTick() {
    try {
        FireTimer();
    } catch (...) {
        ReportException(this, std::current_exception(), FAlive);
    }
}

}  // namespace kit
