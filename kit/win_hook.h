#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace kit {

class TControlHook;

// Lets several components watch the events of one widget without the
// widget's cooperation. All watchers of a widget share one event filter on it
// (a control hook); every watcher is called before the widget handles an
// event and again after it, the last attached first. A before-watcher that
// sets Handled keeps the event from the widget and from the after-watchers,
// except QEvent::Destroy, which always reaches the widget. When the last
// watcher leaves, the filter is removed at once and the control hook is freed
// later from the event loop, never inside its own event handling.
//
// The event reaches the widget straight after the watchers: event filters
// that were installed on the widget before the first watcher are passed over
// while a hook is attached.
class TWindowHook : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QWidget* WinControl READ WinControl WRITE SetWinControl)

public:
    using THookMessageEvent = std::function<void(QObject* Sender, QEvent* Message, bool& Handled)>;

    explicit TWindowHook(QObject* Owner = nullptr);
    ~TWindowHook() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);

    // The watched widget; none when it has been freed.
    QWidget* WinControl() const { return FControl; }
    void SetWinControl(QWidget* Value);

    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

    // The number of widgets that control hooks exist for (a freed hook leaves
    // the count only once the event loop has run its deferred free).
    static int ControlHookCount();

protected:
    virtual void DoBeforeMessage(QEvent* Message, bool& Handled);
    virtual void DoAfterMessage(QEvent* Message, bool& Handled);

private:
    friend class TControlHook;
    void Attach();
    void Detach();

    bool FActive = true;
    QPointer<QWidget> FControl;
    TControlHook* FHook = nullptr;
    bool FDestroying = false;
};

}  // namespace kit
