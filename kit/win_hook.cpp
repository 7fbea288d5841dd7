#include "kit/win_hook.h"

#include <QList>
#include <algorithm>
#include <exception>

#include "kit/kit_form.h"

namespace kit {

// The shared event filter of one widget and the watchers attached to it.
class TControlHook : public QObject {
public:
    explicit TControlHook(QWidget* Control) : FControl(Control) {
        connect(Control, &QObject::destroyed, this, [this] { ReleaseWatchers(); });
    }

    ~TControlHook() override {
        FDestroying = true;
        ReleaseWatchers();
        Uninstall();
    }

    TControlHook(const TControlHook&) = delete;
    TControlHook& operator=(const TControlHook&) = delete;

    QWidget* Control() const { return FControl; }
    bool HasWatchers() const { return !FWatchers.isEmpty(); }

    void Add(TWindowHook* Watcher) {
        if (!FWatchers.contains(Watcher)) {
            FWatchers << Watcher;
            Watcher->FHook = this;
        }
        Install();
    }

    void Remove(TWindowHook* Watcher) {
        FWatchers.removeAll(Watcher);
        Watcher->FHook = nullptr;
        if (FWatchers.isEmpty()) {
            Uninstall();
        }
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Message) override {
        if (Watched != FControl || FControl == nullptr) {
            return false;
        }
        bool handled = false;
        if (Message->type() != QEvent::Quit) {
            Notify(Message, handled, true);
        }
        if (!handled || Message->type() == QEvent::Destroy) {
            struct TAfter {
                TControlHook& Hook;
                QEvent* Message;
                bool& Handled;
                ~TAfter() { Hook.Notify(Message, Handled, false); }
            } after{*this, Message, handled};
            static_cast<QObject*>(FControl)->event(Message);
        }
        return true;
    }

private:
    void Install() {
        if (FControl != nullptr && !FDestroying && !FInstalled) {
            FControl->installEventFilter(this);
            FInstalled = true;
        }
    }

    void Uninstall() {
        if (FControl != nullptr && FInstalled) {
            FControl->removeEventFilter(this);
        }
        FInstalled = false;
    }

    void Notify(QEvent* Message, bool& Handled, bool Before) {
        if (FWatchers.isEmpty() || FControl == nullptr || FDestroying) {
            return;
        }
        const QList<TWindowHook*> watchers = FWatchers;
        for (auto watcher = watchers.rbegin(); watcher != watchers.rend() && !Handled; ++watcher) {
            try {
                if (Before) {
                    (*watcher)->DoBeforeMessage(Message, Handled);
                } else {
                    (*watcher)->DoAfterMessage(Message, Handled);
                }
            } catch (const std::exception& error) {
                ApplicationShowException(error);
            }
        }
    }

    // Told when the widget goes: every watcher lets go of it, last first.
    void ReleaseWatchers() {
        const QList<TWindowHook*> watchers = FWatchers;
        for (auto watcher = watchers.rbegin(); watcher != watchers.rend(); ++watcher) {
            (*watcher)->SetWinControl(nullptr);
        }
    }

    QPointer<QWidget> FControl;
    QList<TWindowHook*> FWatchers;
    bool FInstalled = false;
    bool FDestroying = false;
};

namespace {

// Every control hook, at most one per widget.
class THookList : public QObject {
    Q_OBJECT

public:
    ~THookList() override {
        while (!FHooks.isEmpty()) {
            delete FHooks.takeLast();
        }
    }

    TControlHook* HookFor(QWidget* Control) {
        const auto match = std::find_if(FHooks.begin(), FHooks.end(),
                                        [&](const TControlHook* Hook) { return Hook->Control() == Control; });
        if (match != FHooks.end()) {
            return *match;
        }
        FHooks << new TControlHook(Control);
        return FHooks.back();
    }

    // Frees, from the event loop, the hooks that have no watchers by then.
    void FreeLater() { QMetaObject::invokeMethod(this, "FreeUnwatched", Qt::QueuedConnection); }

    Q_INVOKABLE void FreeUnwatched() {
        for (qsizetype i = FHooks.size() - 1; i >= 0; --i) {
            if (!FHooks[i]->HasWatchers()) {
                delete FHooks.takeAt(i);
            }
        }
    }

    int Count() const { return static_cast<int>(FHooks.size()); }

private:
    QList<TControlHook*> FHooks;
};

THookList& HookList() {
    static THookList list;
    return list;
}

}  // namespace

TWindowHook::TWindowHook(QObject* Owner) : QObject(Owner) {}

TWindowHook::~TWindowHook() {
    FDestroying = true;
    SetActive(false);
    SetWinControl(nullptr);
}

void TWindowHook::SetActive(bool Value) {
    if (Value) {
        Attach();
    } else {
        Detach();
    }
}

void TWindowHook::SetWinControl(QWidget* Value) {
    if (Value == FControl && FHook != nullptr) {
        return;
    }
    const bool wasActive = FActive;
    Detach();
    FControl = Value;
    if (wasActive) {
        Attach();
    }
}

int TWindowHook::ControlHookCount() { return HookList().Count(); }

void TWindowHook::DoBeforeMessage(QEvent* Message, bool& Handled) {
    if (BeforeMessage) {
        BeforeMessage(this, Message, Handled);
    }
}

void TWindowHook::DoAfterMessage(QEvent* Message, bool& Handled) {
    if (AfterMessage) {
        AfterMessage(this, Message, Handled);
    }
}

void TWindowHook::Attach() {
    if (FControl != nullptr && !FDestroying) {
        HookList().HookFor(FControl)->Add(this);
    }
    FActive = true;
}

void TWindowHook::Detach() {
    if (TControlHook* hook = FHook) {
        hook->Remove(this);
        if (!hook->HasWatchers()) {
            HookList().FreeLater();
        }
    }
    FActive = false;
}

}  // namespace kit

#include "win_hook.moc"
