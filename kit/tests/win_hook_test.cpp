#include "kit/win_hook.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <memory>

namespace kit {
namespace {

// A widget that counts the events of one type that reach it.
class TCountingWidget : public QWidget {
public:
    int Received = 0;

protected:
    bool event(QEvent* Event) override {
        if (Event->type() == QEvent::User) {
            ++Received;
        }
        return QWidget::event(Event);
    }
};

class WindowHook : public ::testing::Test {
protected:
    // A watcher that logs its calls for the user event under Name.
    std::unique_ptr<TWindowHook> Watcher(const QString& Name, bool HandleBefore = false) {
        auto hook = std::make_unique<TWindowHook>();
        hook->BeforeMessage = [this, Name, HandleBefore](QObject*, QEvent* Message, bool& Handled) {
            if (Message->type() == QEvent::User) {
                FLog << "before " + Name;
                Handled = HandleBefore;
            }
        };
        hook->AfterMessage = [this, Name](QObject*, QEvent* Message, bool&) {
            if (Message->type() == QEvent::User) {
                FLog << "after " + Name;
            }
        };
        return hook;
    }

    void Send() {
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&FControl, &event);
    }

    static void RunDeferred() { QCoreApplication::processEvents(); }

    TCountingWidget FControl;
    QStringList FLog;
};

TEST_F(WindowHook, WatchersShareOneHookAndRunLastAttachedFirst) {
    RunDeferred();
    const int before = TWindowHook::ControlHookCount();
    auto first = Watcher("first");
    auto second = Watcher("second");
    first->SetWinControl(&FControl);
    second->SetWinControl(&FControl);
    EXPECT_EQ(TWindowHook::ControlHookCount(), before + 1);
    Send();
    EXPECT_EQ(FLog, QStringList({"before second", "before first", "after second", "after first"}));
    EXPECT_EQ(FControl.Received, 1);

    first.reset();
    FLog.clear();
    Send();
    EXPECT_EQ(FLog, QStringList({"before second", "after second"}));

    second->SetActive(false);
    FLog.clear();
    Send();
    EXPECT_TRUE(FLog.isEmpty());
    EXPECT_EQ(FControl.Received, 3);
    EXPECT_EQ(TWindowHook::ControlHookCount(), before + 1);
    RunDeferred();
    EXPECT_EQ(TWindowHook::ControlHookCount(), before);
}

TEST_F(WindowHook, HandledBeforeKeepsTheEventFromControlAndAfterWatchers) {
    auto lower = Watcher("lower");
    auto upper = Watcher("upper", true);
    lower->SetWinControl(&FControl);
    upper->SetWinControl(&FControl);
    Send();
    EXPECT_EQ(FLog, QStringList{"before upper"});
    EXPECT_EQ(FControl.Received, 0);
}

TEST_F(WindowHook, FreeingTheControlLetsEveryWatcherGo) {
    auto control = std::make_unique<QWidget>();
    auto hook = Watcher("w");
    hook->SetWinControl(control.get());
    control.reset();
    EXPECT_EQ(hook->WinControl(), nullptr);
    RunDeferred();
    hook->SetActive(true);
    EXPECT_EQ(hook->WinControl(), nullptr);
}

TEST_F(WindowHook, ReattachingToAnotherControlMovesTheWatcher) {
    TCountingWidget other;
    auto hook = Watcher("w");
    hook->SetWinControl(&FControl);
    hook->SetWinControl(&other);
    Send();
    EXPECT_TRUE(FLog.isEmpty());
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&other, &event);
    EXPECT_EQ(FLog, QStringList({"before w", "after w"}));
    EXPECT_EQ(other.Received, 1);
}

}  // namespace
}  // namespace kit
