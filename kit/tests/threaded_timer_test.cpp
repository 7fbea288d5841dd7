#include "kit/threaded_timer.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "kit/testing/fake_timer_waiter.h"
#include "kit/tests/anim_test_support.h"

namespace kit {
namespace {

using std::chrono::milliseconds;
using testing::PumpUntil;

class ThreadedTimerTest : public ::testing::Test {
protected:
    void TearDown() override { SetExceptionHandler(nullptr); }

    // Makes the timer tick on its worker and counts the ticks.
    void CountTicksOnWorker(TThreadedTimer& Timer) {
        Timer.SetSyncEvent(false);
        Timer.SetOnTimer([this](QObject*) { ++Ticks; });
    }

    testing::TFakeTimerWaiter Waiter;
    std::atomic<int> Ticks{0};
};

TEST_F(ThreadedTimerTest, NoTickUntilAHandlerIsAssignedThenTicksAtTheInterval) {
    TThreadedTimer Timer(nullptr, Waiter);
    EXPECT_TRUE(Timer.Enabled());
    EXPECT_EQ(Timer.Interval(), 1000u);
    EXPECT_TRUE(Timer.WorkerPaused());
    CountTicksOnWorker(Timer);
    EXPECT_FALSE(Timer.WorkerPaused());
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    Waiter.Elapse();
    ASSERT_TRUE(Waiter.WaitForWaits(2));
    EXPECT_EQ(Ticks, 1);
    EXPECT_EQ(Waiter.Intervals().front(), milliseconds(1000));
}

TEST_F(ThreadedTimerTest, SettingsThatStopTheTicksPauseTheWorker) {
    struct Case {
        const char* Name;
        std::function<void(TThreadedTimer&)> Change;
        bool StaysEnabled;
    };
    const Case Cases[] = {
        {"interval 0", [](TThreadedTimer& T) { T.SetInterval(0); }, true},
        {"disabled", [](TThreadedTimer& T) { T.SetEnabled(false); }, false},
        {"handler cleared", [](TThreadedTimer& T) { T.SetOnTimer(nullptr); }, true},
        {"window timer", [](TThreadedTimer& T) { T.SetThreaded(false); }, true},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        testing::TFakeTimerWaiter CaseWaiter;
        TThreadedTimer Timer(nullptr, CaseWaiter);
        Timer.SetInterval(100000);  // the window timer must not fire during the test
        CountTicksOnWorker(Timer);
        ASSERT_TRUE(CaseWaiter.WaitForWaits(1));
        C.Change(Timer);
        EXPECT_TRUE(Timer.WorkerPaused());
        EXPECT_EQ(Timer.Enabled(), C.StaysEnabled);
        CaseWaiter.Elapse();
        EXPECT_EQ(CaseWaiter.Intervals().size(), 1u);
        EXPECT_EQ(Ticks, 0);
        Ticks = 0;
    }
}

TEST_F(ThreadedTimerTest, AnotherHandlerReplacesTheOldOneWithoutRestartingTheWait) {
    TThreadedTimer Timer(nullptr, Waiter);
    CountTicksOnWorker(Timer);
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    std::atomic<int> Second{0};
    Timer.SetOnTimer([&](QObject*) { ++Second; });
    EXPECT_EQ(Waiter.Intervals().size(), 1u);
    Waiter.Elapse();
    ASSERT_TRUE(Waiter.WaitForWaits(2));
    EXPECT_EQ(Ticks, 0);
    EXPECT_EQ(Second, 1);
}

TEST_F(ThreadedTimerTest, IntervalChangedByATickOnTheWorkerAppliesToTheNextWait) {
    TThreadedTimer Timer(nullptr, Waiter);
    Timer.SetSyncEvent(false);
    Timer.SetOnTimer([&](QObject*) {
        ++Ticks;
        Timer.SetInterval(250);
    });
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    Waiter.Elapse();
    ASSERT_TRUE(Waiter.WaitForWaits(2));
    Waiter.Elapse();
    ASSERT_TRUE(Waiter.WaitForWaits(3));
    const auto Intervals = Waiter.Intervals();
    EXPECT_EQ(Intervals[0], milliseconds(1000));
    EXPECT_EQ(Intervals[1], milliseconds(250));
    EXPECT_EQ(Ticks, 2);
}

// Ticks on the worker change the interval while the UI thread turns the timer
// off and on again. Whatever the interleaving, once a timer is on again its
// worker must not be left paused. Several timers at once, round after round,
// give the interleavings many chances.
TEST_F(ThreadedTimerTest, TicksChangingTheIntervalDuringDisableAndEnableNeverSilenceTheTimer) {
    testing::TImmediateTimerWaiter Immediate;
    constexpr int Timers = 8;
    std::unique_ptr<TThreadedTimer> Timer[Timers];
    std::atomic<int> TimerTicks[Timers] = {};
    for (int T = 0; T < Timers; ++T) {
        Timer[T] = std::make_unique<TThreadedTimer>(nullptr, Immediate);
        Timer[T]->SetSyncEvent(false);
        Timer[T]->SetOnTimer([&, T](QObject*) { Timer[T]->SetInterval(++TimerTicks[T] % 2 == 0 ? 250 : 500); });
    }
    for (int Round = 1; Round <= 3000; ++Round) {
        int Before[Timers];
        for (int T = 0; T < Timers; ++T) {
            Timer[T]->SetEnabled(false);
            Timer[T]->SetEnabled(true);
            Before[T] = TimerTicks[T];
        }
        for (int T = 0; T < Timers; ++T) {
            // Two more ticks, or a paused worker: a silent timer.
            while (TimerTicks[T] < Before[T] + 2 && !Timer[T]->WorkerPaused()) {
                std::this_thread::yield();
            }
            ASSERT_FALSE(Timer[T]->WorkerPaused()) << "timer " << T << " silent after round " << Round;
        }
    }
}

TEST_F(ThreadedTimerTest, SynchronisedTickRunsOnTheUiThreadWhileTheWorkerWaits) {
    TThreadedTimer Timer(nullptr, Waiter);
    std::atomic<QThread*> TickThread{nullptr};
    Timer.SetOnTimer([&](QObject* Sender) {
        EXPECT_EQ(Sender, &Timer);
        TickThread = QThread::currentThread();
    });
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    Waiter.Elapse();
    ASSERT_TRUE(PumpUntil([&] { return TickThread != nullptr; }));
    EXPECT_EQ(TickThread, QCoreApplication::instance()->thread());
    ASSERT_TRUE(Waiter.WaitForWaits(2));
}

TEST_F(ThreadedTimerTest, ErrorsOfTicksAreReportedOnTheUiThreadAndTicksGoOn) {
    for (const bool Synchronised : {false, true}) {
        SCOPED_TRACE(Synchronised ? "synchronised" : "on the worker");
        std::atomic<int> Reports{0};
        QThread* ReportThread = nullptr;
        QString Message;
        SetExceptionHandler([&](QObject*, const std::exception_ptr& Error) {
            ++Reports;
            ReportThread = QThread::currentThread();
            Message = ExceptionText(Error);
        });
        testing::TFakeTimerWaiter CaseWaiter;
        TThreadedTimer Timer(nullptr, CaseWaiter);
        Timer.SetSyncEvent(Synchronised);
        Timer.SetOnTimer([&](QObject*) {
            ++Ticks;
            throw std::runtime_error("tick failed");
        });
        ASSERT_TRUE(CaseWaiter.WaitForWaits(1));
        CaseWaiter.Elapse();
        ASSERT_TRUE(PumpUntil([&] { return Reports == 1; }));
        EXPECT_EQ(ReportThread, QCoreApplication::instance()->thread());
        EXPECT_EQ(Message, "tick failed");
        ASSERT_TRUE(CaseWaiter.WaitForWaits(2));
        CaseWaiter.Elapse();
        ASSERT_TRUE(PumpUntil([&] { return Reports == 2; }));
        Ticks = 0;
    }
}

TEST_F(ThreadedTimerTest, WindowTimerKeepsRunningAfterAHandlerError) {
    std::atomic<int> Reports{0};
    SetExceptionHandler([&](QObject*, const std::exception_ptr&) { ++Reports; });
    TThreadedTimer Timer(nullptr, Waiter);
    Timer.SetThreaded(false);
    Timer.SetInterval(1);
    Timer.SetOnTimer([&](QObject*) {
        ++Ticks;
        throw std::runtime_error("tick failed");
    });
    ASSERT_TRUE(PumpUntil([&] { return Ticks >= 2; }));
    EXPECT_GE(Reports, 1);
    EXPECT_TRUE(Timer.WorkerPaused());
}

TEST_F(ThreadedTimerTest, SynchronisedCallsRunDirectlyOnlyOnTheUiThread) {
    TThreadedTimer Timer(nullptr, Waiter);
    bool Ran = false;
    Timer.RunSynchronized([&] { Ran = true; });
    EXPECT_TRUE(Ran);
    // From another thread the call is queued to the UI thread even while the
    // worker is paused.
    std::atomic<QThread*> CallThread{nullptr};
    std::atomic<bool> Returned{false};
    std::thread Other([&] {
        Timer.RunSynchronized([&] { CallThread = QThread::currentThread(); });
        Returned = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return Returned.load(); }));
    Other.join();
    EXPECT_EQ(CallThread, QCoreApplication::instance()->thread());
}

// Destroys a timer while a tick runs on the worker, or while a tick waits for
// the UI thread; repeated to shake out races (run under ThreadSanitizer).
TEST_F(ThreadedTimerTest, DestroyedDuringATickManyTimes) {
    testing::TImmediateTimerWaiter Immediate;
    for (const bool Synchronised : {false, true}) {
        for (int Round = 0; Round < 1000; ++Round) {
            std::atomic<bool> InTick{false};
            auto* Timer = new TThreadedTimer(nullptr, Immediate);
            Timer->SetSyncEvent(Synchronised);
            Timer->SetOnTimer([&](QObject*) { InTick = true; });
            // Synchronised, the first tick waits for the UI thread, which
            // never serves it: the destructor must cancel it.
            while (!(Synchronised ? Timer->WaitingForUiThread() : InTick.load())) {
                QThread::yieldCurrentThread();
            }
            delete Timer;
        }
    }
    QCoreApplication::processEvents();
}

TEST_F(ThreadedTimerTest, TimerDestroyedByItsOwnTickStopsCleanly) {
    for (const bool Synchronised : {false, true}) {
        SCOPED_TRACE(Synchronised ? "synchronised" : "on the worker");
        std::atomic<bool> Destroyed{false};
        testing::TFakeTimerWaiter CaseWaiter;
        auto* Timer = new TThreadedTimer(nullptr, CaseWaiter);
        Timer->SetSyncEvent(Synchronised);
        Timer->SetOnTimer([&](QObject* Sender) {
            delete static_cast<TThreadedTimer*>(Sender);
            Destroyed = true;
        });
        CaseWaiter.Elapse();
        ASSERT_TRUE(PumpUntil([&] { return Destroyed.load(); }));
        // Let the detached worker finish and be deleted.
        QElapsedTimer Settle;
        Settle.start();
        PumpUntil([&] { return Settle.elapsed() > 100; });
    }
}

}  // namespace
}  // namespace kit
