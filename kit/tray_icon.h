#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

#include "kit/icon.h"
#include "kit/icon_list.h"
#include "kit/tray_backend.h"
#include "kit/ui_dispatch.h"

namespace kit {

// One icon with a tooltip in the notification area: turns its mouse messages
// into events, pops up a menu on a right click, runs the menu's default item
// on a double click and can animate through a list of icons. Everything runs
// on the UI thread; the animation steps there every Interval milliseconds.
class TTrayIcon : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(bool Animated READ Animated WRITE SetAnimated)
    Q_PROPERTY(quint16 Interval READ Interval WRITE SetInterval)
public:
    enum class TMouseButton { mbLeft, mbRight, mbMiddle };
    enum TShiftFlag : unsigned {
        ssShift = 1,
        ssAlt = 2,
        ssCtrl = 4,
        ssLeft = 8,
        ssRight = 16,
        ssMiddle = 32,
        ssDouble = 64,
    };
    using TShiftState = unsigned;
    using TMouseEvent = std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
    using TMouseMoveEvent = std::function<void(QObject* Sender, TShiftState Shift, int X, int Y)>;
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // Backend nullptr: the desktop's notification area.
    explicit TTrayIcon(QObject* Owner = nullptr, std::unique_ptr<TTrayBackend> Backend = nullptr);
    ~TTrayIcon() override;

    // After the owner has set the component up: shows the icon when Active.
    void Loaded();

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    const QString& Hint() const { return FHint; }
    void SetHint(const QString& Value);
    TIcon& Icon() { return FIcon; }
    void SetIcon(const TIcon& Value) { FIcon.Assign(Value); }
    TIconList& Icons() { return FIcons; }
    void SetIcons(const TIconList& Value) { FIcons.Assign(&Value); }
    bool Animated() const { return FAnimated; }
    void SetAnimated(bool Value);
    quint16 Interval() const { return FInterval; }
    void SetInterval(quint16 Value) { FInterval = Value; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Menu) { FPopupMenu = Menu; }

    // True while the icon is in the notification area.
    bool Added() const { return FAdded; }
    // Where the icon sits on the screen (empty while it is not shown).
    QRect Geometry() const { return FBackend->Geometry(); }
    int FrameIndex() const { return FFrameIndex; }
    // True while the animation waits for its next frame.
    bool AnimationRunning() const { return FAnimationTimer.isActive(); }
    // Steps the animation to the next frame (what the animation timer does).
    void AdvanceFrame();
    // A mouse message from the notification area.
    void HandleMessage(TTrayMessage Message);

    TMouseEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

protected:
    virtual void FillNotifyRecord(TNotifyRecord& Record) const;
    virtual void DoDblClick();
    virtual void DoClick(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseMove(TShiftState Shift, int X, int Y);
    virtual void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

private:
    const TIcon* CurrentIcon() const;
    void Show();
    void Hide();
    void Refresh();
    void ButtonUp(TMouseButton Button, TShiftFlag Flag, TShiftState Shift, int X, int Y);
    void ClickStep(TMouseButton Button, TShiftState Shift, int X, int Y);
    bool PopupAtCursor(int X, int Y);
    void DoubleClickStep();
    void ResumeAnimation();
    TShiftState KeyboardShift() const;

    std::unique_ptr<TTrayBackend> FBackend;
    TIcon FIcon;
    TIconList FIcons;
    QTimer FAnimationTimer;
    QPointer<QMenu> FPopupMenu;
    QString FHint;
    bool FActive = true;
    bool FEnabled = true;
    bool FAnimated = false;
    bool FAdded = false;
    bool FDestroying = false;
    quint16 FInterval = 150;
    unsigned FPressed = 0;
    int FFrameIndex = -1;
    TAliveToken FAlive = MakeAliveToken();
};

}  // namespace kit
