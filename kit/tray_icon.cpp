#include "kit/tray_icon.h"

#include <QMenu>
#include <algorithm>

namespace kit {

namespace {

// The longest tooltip the notification area takes.
constexpr int MaxTipLength = 63;

}  // namespace

TTrayIcon::TTrayIcon(QObject* Owner, std::unique_ptr<TTrayBackend> Backend)
    : QObject(Owner), FBackend(Backend ? std::move(Backend) : MakeSystemTrayBackend()) {
    FBackend->OnMessage = [this](TTrayMessage Message) { HandleMessage(Message); };
    FIcon.OnChange = [this] { Refresh(); };
    FIcons.OnChange = [this](TIconList*) { Refresh(); };
    FAnimationTimer.setSingleShot(true);
    connect(&FAnimationTimer, &QTimer::timeout, this, [this] {
        AdvanceFrame();
        ResumeAnimation();
    });
}

TTrayIcon::~TTrayIcon() {
    FDestroying = true;
    FEnabled = false;
    FIcon.OnChange = nullptr;
    FIcons.OnChange = nullptr;
    FAnimated = false;
    Hide();
    FBackend->OnMessage = nullptr;
}

void TTrayIcon::Loaded() {
    if (FActive) {
        Show();
    }
}

void TTrayIcon::SetActive(bool Value) {
    if (FActive == Value) {
        return;
    }
    FActive = Value;
    if (Value) {
        Show();
    } else {
        Hide();
    }
}

void TTrayIcon::SetHint(const QString& Value) {
    if (FHint != Value) {
        FHint = Value;
        Refresh();
    }
}

const TIcon* TTrayIcon::CurrentIcon() const {
    if (FAnimated && FIcons.Count() > 0) {
        return FIcons.GetIcon(std::max(std::min(FFrameIndex, FIcons.Count() - 1), 0));
    }
    return &FIcon;
}

void TTrayIcon::FillNotifyRecord(TNotifyRecord& Record) const {
    const TIcon* Current = CurrentIcon();
    Record.Icon = Current != nullptr ? Current->Picture() : QIcon();
    Record.Tip = FHint.section(QLatin1Char('|'), 0, 0).left(MaxTipLength);
}

void TTrayIcon::Show() {
    Hide();
    const TIcon* Current = CurrentIcon();
    if (Current == nullptr || Current->Empty()) {
        return;
    }
    FPressed = 0;
    TNotifyRecord Record;
    FillNotifyRecord(Record);
    FAdded = FBackend->Add(Record);
    ResumeAnimation();
}

void TTrayIcon::Hide() {
    FBackend->Delete();
    FAdded = false;
    FPressed = 0;
    FAnimationTimer.stop();
}

void TTrayIcon::Refresh() {
    if (FIcons.Count() == 0) {
        SetAnimated(false);
    }
    if (!FAdded) {
        if (FActive && !FDestroying) {
            Show();
        }
        return;
    }
    const TIcon* Current = CurrentIcon();
    if (Current == nullptr || Current->Empty()) {
        Hide();
        return;
    }
    TNotifyRecord Record;
    FillNotifyRecord(Record);
    FBackend->Modify(Record);
}

void TTrayIcon::SetAnimated(bool Value) {
    const bool Wanted = Value && FIcons.Count() > 0;
    if (Wanted == FAnimated) {
        return;
    }
    FAnimated = Wanted;
    if (Wanted) {
        ResumeAnimation();
    } else {
        FAnimationTimer.stop();
    }
    FFrameIndex = 0;
    Refresh();
}

void TTrayIcon::ResumeAnimation() {
    if (FAnimated && FAdded && !FDestroying) {
        FAnimationTimer.start(FInterval);
    }
}

void TTrayIcon::AdvanceFrame() {
    if (FDestroying || !FAnimated) {
        return;
    }
    ++FFrameIndex;
    if (FFrameIndex >= FIcons.Count()) {
        FFrameIndex = 0;
    }
    Refresh();
}

TTrayIcon::TShiftState TTrayIcon::KeyboardShift() const {
    const Qt::KeyboardModifiers Keys = FBackend->KeyboardState();
    TShiftState Shift = 0;
    if (Keys & Qt::ShiftModifier) {
        Shift |= ssShift;
    }
    if (Keys & Qt::ControlModifier) {
        Shift |= ssCtrl;
    }
    if (Keys & Qt::AltModifier) {
        Shift |= ssAlt;
    }
    return Shift;
}

void TTrayIcon::HandleMessage(TTrayMessage Message) {
    if (!FEnabled) {
        return;
    }
    const QPoint At = FBackend->CursorPos();
    const int X = At.x();
    const int Y = At.y();
    const TShiftState Shift = KeyboardShift();
    try {
        switch (Message) {
            case TTrayMessage::MouseMove:
                DoMouseMove(Shift, X, Y);
                break;
            case TTrayMessage::LeftDown:
                DoMouseDown(TMouseButton::mbLeft, Shift | ssLeft, X, Y);
                FPressed |= ssLeft;
                break;
            case TTrayMessage::LeftUp:
                ButtonUp(TMouseButton::mbLeft, ssLeft, Shift | ssLeft, X, Y);
                break;
            case TTrayMessage::LeftDouble:
                DoubleClickStep();
                DoMouseDown(TMouseButton::mbLeft, Shift | ssDouble, X, Y);
                break;
            case TTrayMessage::RightDown:
                DoMouseDown(TMouseButton::mbRight, Shift | ssRight, X, Y);
                FPressed |= ssRight;
                break;
            case TTrayMessage::RightUp:
                ButtonUp(TMouseButton::mbRight, ssRight, Shift | ssRight, X, Y);
                break;
            case TTrayMessage::RightDouble:
                DoMouseDown(TMouseButton::mbRight, Shift | ssDouble, X, Y);
                break;
            case TTrayMessage::MiddleDown:
                DoMouseDown(TMouseButton::mbMiddle, Shift | ssMiddle, X, Y);
                break;
            case TTrayMessage::MiddleUp:
                DoMouseUp(TMouseButton::mbMiddle, Shift | ssMiddle, X, Y);
                break;
            case TTrayMessage::MiddleDouble:
                DoMouseDown(TMouseButton::mbMiddle, Shift | ssDouble, X, Y);
                break;
        }
    } catch (...) {
        ReportException(this, std::current_exception(), FAlive);
    }
}

void TTrayIcon::ButtonUp(TMouseButton Button, TShiftFlag Flag, TShiftState Shift, int X, int Y) {
    if ((FPressed & Flag) != 0) {
        FPressed &= ~static_cast<unsigned>(Flag);
        ClickStep(Button, Shift, X, Y);
    }
    DoMouseUp(Button, Shift, X, Y);
}

void TTrayIcon::ClickStep(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbRight && PopupAtCursor(X, Y)) {
        return;
    }
    DoClick(Button, Shift, X, Y);
}

bool TTrayIcon::PopupAtCursor(int X, int Y) {
    if (!FActive || FPopupMenu == nullptr) {
        return false;
    }
    return FBackend->PopupMenu(*FPopupMenu, QPoint(X, Y));
}

void TTrayIcon::DoubleClickStep() {
    if (FActive && FPopupMenu != nullptr && !FPopupMenu->actions().isEmpty()) {
        QAction* Default = FPopupMenu->defaultAction();
        if (Default != nullptr && Default->isEnabled()) {
            Default->trigger();
            return;
        }
    }
    DoDblClick();
}

void TTrayIcon::DoDblClick() {
    if (OnDblClick) {
        OnDblClick(this);
    }
}

void TTrayIcon::DoClick(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnClick) {
        OnClick(this, Button, Shift, X, Y);
    }
}

void TTrayIcon::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) {
        OnMouseDown(this, Button, Shift, X, Y);
    }
}

void TTrayIcon::DoMouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) {
        OnMouseMove(this, Shift, X, Y);
    }
}

void TTrayIcon::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) {
        OnMouseUp(this, Button, Shift, X, Y);
    }
}

}  // namespace kit
