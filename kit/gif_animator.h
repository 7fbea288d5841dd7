#pragma once

#include <QImage>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "kit/frame_source.h"
#include "kit/image_control.h"
#include "kit/threaded_timer.h"

namespace kit {

// Shows an animated picture and animates it: a threaded timer steps the
// current frame, composes it over its predecessors by their disposal methods,
// paints it and waits for the new frame's delay. With AsyncDrawing on, each
// step runs and paints on the timer's thread, so the animation keeps moving
// while the UI thread is blocked; only the frame-changed event and the end of
// a non-looping run reach the UI thread.
//
// Unlike a step that tells the UI thread of the new frame before painting it
// and waits there for the end of a run, each step here fires frame-changed
// after it has painted and let go of its locks, and posts the end of a
// non-looping run to the UI thread without waiting for it. A step thus never
// holds a lock while it waits for the UI thread, so setters and repaints
// there are never kept waiting by a step that waits for them.
//
// With Loop on (the default) a run goes on until Animate is switched off,
// whatever loop count the picture stores.
class TGIFAnimator : public TImageControl {
    Q_OBJECT
    Q_PROPERTY(bool AsyncDrawing READ AsyncDrawing WRITE SetAsyncDrawing)
    Q_PROPERTY(bool Animate READ Animate WRITE SetAnimate)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool Center READ Center WRITE SetCenter)
    Q_PROPERTY(int FrameIndex READ FrameIndex WRITE SetFrameIndex)
    Q_PROPERTY(bool Loop READ Loop WRITE SetLoop)
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // The side of its parent the animator is aligned to, as a layout places it.
    enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
    Q_ENUM(TAlign)

    explicit TGIFAnimator(QWidget* Parent = nullptr, TTimerWaiter& Waiter = SystemTimerWaiter());
    ~TGIFAnimator() override;

    bool Animate() const { return FAnimate; }
    void SetAnimate(bool Value);
    bool AsyncDrawing() const { return FAsyncDrawing; }
    void SetAsyncDrawing(bool Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool Center() const { return FCenter; }
    void SetCenter(bool Value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool Loop() const { return FLoop; }
    void SetLoop(bool Value) { FLoop = Value; }
    int FrameIndex() const { return FFrameIndex; }
    void SetFrameIndex(int Value);
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value) { FAlign = Value; }

    // The size an auto-sizing layout may give the animator: the image's
    // logical screen width unless Align fixes the width (top, bottom,
    // client), its height unless Align fixes the height (left, right,
    // client). An empty image leaves both; the kit has no design time to
    // leave them in as well. Always true: the animator can always be sized.
    bool FitToImage(int& Width, int& Height);

    // The picture (nullptr while none is set); owned.
    TFrameSource* Image() const { return FImage.get(); }
    void SetImage(std::unique_ptr<TFrameSource> Image);

    // The wait before the next step: 0 for fewer than 2 frames or an index
    // out of range, else the frame's delay clamped to 50 ... 10000 ms.
    unsigned CurrentFrameDelay();
    // The frame as it looks after all frames before it, at the logical
    // screen size; KeyColour receives the colour to leave out (if any).
    QImage ComposeFrameBitmap(int Index, std::optional<QRgb>& KeyColour);
    // Steps to the next frame (the timer's tick).
    void StepFrame();
    TThreadedTimer& FrameTimer() { return *FTimer; }

    TNotifyEvent OnStart;
    TNotifyEvent OnStop;
    TNotifyEvent OnChange;
    TNotifyEvent OnFrameChanged;

    QSize sizeHint() const override;

protected:
    void PaintImage(QPainter& Canvas, const QRect& Client) override;
    void AdjustSize() override;

private:
    void HandleImageChange();
    void FinishRun();
    void Fire(const TNotifyEvent& Event);
    void FireFrameChanged();
    void ResetCache();
    void StoreUnderLock(bool& Field, bool Value);
    QRect Destination(const QSize& Bitmap, const QRect& Client) const;

    // Guards every call into the picture (frames decode on demand), innermost lock.
    std::recursive_mutex FImageLock;
    std::unique_ptr<TFrameSource> FImage;
    std::unique_ptr<TThreadedTimer> FTimer;
    std::atomic<bool> FAnimate{false};
    std::atomic<bool> FAsyncDrawing{false};
    std::atomic<bool> FLoop{true};
    bool FAutoSize = true;
    TAlign FAlign = alNone;
    bool FCenter = false;      // control lock
    bool FStretch = false;     // control lock
    bool FTransparent = true;  // control lock
    std::atomic<int> FFrameIndex{0};
    QImage FCache;                  // canvas lock
    int FCacheIndex = -1;           // canvas lock
    std::optional<QRgb> FCacheKey;  // canvas lock
    QColor FCacheBrush;             // canvas lock
    QColor FWindowColour;
};

}  // namespace kit
