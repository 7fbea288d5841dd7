#include "kit/ui_dispatch.h"

#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtDebug>
#include <deque>
#include <mutex>
#include <utility>

namespace kit {

namespace {

struct TPostedWork {
    std::function<void()> Work;
    std::weak_ptr<int> Alive;
    bool Guarded;
};

// Lives on the UI thread. Posting wakes it through an event descriptor that
// its socket notifier watches, so no Qt object is handed between threads.
class TUiDispatcher : public QObject {
public:
    TUiDispatcher() : FWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), FNotifier(FWake, QSocketNotifier::Read, this) {
        connect(&FNotifier, &QSocketNotifier::activated, this, &TUiDispatcher::Drain);
    }

    void Post(TPostedWork Item) {
        bool WakeNeeded = false;
        {
            std::lock_guard<std::mutex> Guard(FLock);
            FQueue.push_back(std::move(Item));
            WakeNeeded = !FWakePending;
            FWakePending = true;
        }
        if (WakeNeeded) {
            const uint64_t One = 1;
            [[maybe_unused]] const ssize_t Written = write(FWake, &One, sizeof One);
        }
    }

private:
    void Drain() {
        uint64_t Count = 0;
        [[maybe_unused]] const ssize_t Read = read(FWake, &Count, sizeof Count);
        std::deque<TPostedWork> Batch;
        {
            std::lock_guard<std::mutex> Guard(FLock);
            Batch.swap(FQueue);
            FWakePending = false;
        }
        for (TPostedWork& Item : Batch) {
            if (Item.Guarded && Item.Alive.expired()) {
                continue;
            }
            Item.Work();
        }
    }

    std::mutex FLock;
    std::deque<TPostedWork> FQueue;
    bool FWakePending = false;
    int FWake;
    QSocketNotifier FNotifier;
};

TUiDispatcher* Dispatcher() {
    // Made once, on the UI thread (see PrepareUiDispatch), and kept for the life
    // of the process.
    static TUiDispatcher* Instance = new TUiDispatcher;
    return Instance;
}

std::mutex HandlerLock;
TExceptionHandler& Handler() {
    static TExceptionHandler Installed;
    return Installed;
}

void DeliverException(QObject* Sender, const std::exception_ptr& Error) {
    TExceptionHandler Current;
    {
        std::lock_guard<std::mutex> Guard(HandlerLock);
        Current = Handler();
    }
    if (Current) {
        Current(Sender, Error);
    } else {
        qWarning().noquote() << ExceptionText(Error);
    }
}

}  // namespace

TAliveToken MakeAliveToken() { return std::make_shared<int>(0); }

bool IsUiThread() { return static_cast<pid_t>(syscall(SYS_gettid)) == getpid(); }

void PrepareUiDispatch() { Dispatcher(); }

void PostToUiThread(std::function<void()> Work) { Dispatcher()->Post(TPostedWork{std::move(Work), {}, false}); }

void PostToUiThread(std::function<void()> Work, std::weak_ptr<int> Alive) {
    Dispatcher()->Post(TPostedWork{std::move(Work), std::move(Alive), true});
}

void SetExceptionHandler(TExceptionHandler NewHandler) {
    std::lock_guard<std::mutex> Guard(HandlerLock);
    Handler() = std::move(NewHandler);
}

void ReportException(QObject* Sender, const std::exception_ptr& Error, std::weak_ptr<int> Alive) {
    if (IsUiThread()) {
        DeliverException(Sender, Error);
        return;
    }
    PostToUiThread([Sender, Error] { DeliverException(Sender, Error); }, std::move(Alive));
}

QString ExceptionText(const std::exception_ptr& Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& Raised) {
        return QString::fromUtf8(Raised.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

}  // namespace kit
