#include "kit/ui_dispatch.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
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

// Lives on the UI thread; a queued call of Drain runs the posted work there.
class TUiDispatcher : public QObject {
    Q_OBJECT
public:
    void Post(TPostedWork Item) {
        bool WakeNeeded = false;
        {
            std::lock_guard<std::mutex> Guard(FLock);
            FQueue.push_back(std::move(Item));
            WakeNeeded = !FDrainPosted;
            FDrainPosted = true;
        }
        if (WakeNeeded) {
            QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
        }
    }

    Q_INVOKABLE void Drain() {
        std::deque<TPostedWork> Batch;
        {
            std::lock_guard<std::mutex> Guard(FLock);
            Batch.swap(FQueue);
            FDrainPosted = false;
        }
        for (TPostedWork& Item : Batch) {
            if (Item.Guarded && Item.Alive.expired()) {
                continue;
            }
            Item.Work();
        }
    }

private:
    std::mutex FLock;
    std::deque<TPostedWork> FQueue;
    bool FDrainPosted = false;
};

TUiDispatcher* Dispatcher() {
    // Made once, moved to the UI thread and kept for the life of the process.
    static TUiDispatcher* Instance = [] {
        auto* Made = new TUiDispatcher;
        if (QCoreApplication* App = QCoreApplication::instance()) {
            Made->moveToThread(App->thread());
        }
        return Made;
    }();
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

#include "ui_dispatch.moc"
