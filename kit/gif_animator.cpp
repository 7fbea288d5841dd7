#include "kit/gif_animator.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>

namespace kit {

namespace {

constexpr unsigned MinFrameDelayMs = 50;
constexpr unsigned MaxFrameDelayMs = 10000;

enum EDisposal : uint8_t { dmNone = 0, dmKeep = 1, dmBackground = 2, dmPrevious = 3 };

QRect FrameRect(const TFrameInfo& Frame) { return QRect(Frame.Origin, QSize(Frame.Width, Frame.Height)); }

// A copy of Bitmap in which the pixels of Key are see-through.
QImage WithoutColour(const QImage& Bitmap, QRgb Key) {
    QImage Result = Bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb Wanted = qRgb(qRed(Key), qGreen(Key), qBlue(Key));
    for (int Y = 0; Y < Result.height(); ++Y) {
        auto* Line = reinterpret_cast<QRgb*>(Result.scanLine(Y));
        for (int X = 0; X < Result.width(); ++X) {
            if ((Line[X] | 0xFF000000u) == Wanted) {
                Line[X] = 0;
            }
        }
    }
    return Result;
}

}  // namespace

TGIFAnimator::TGIFAnimator(QWidget* Parent, TTimerWaiter& Waiter)
    : TImageControl(Parent),
      FTimer(std::make_unique<TThreadedTimer>(nullptr, Waiter)),
      FWindowColour(QGuiApplication::palette().color(QPalette::Base)) {}

TGIFAnimator::~TGIFAnimator() {
    MarkDestroying();
    SetAnimate(false);
    // Joins the timer's thread: a step that is still running finishes first,
    // one that waits for the UI thread is cancelled.
    FTimer->Shutdown();
    OnStart = OnStop = OnChange = OnFrameChanged = nullptr;
    std::lock_guard<std::recursive_mutex> Control(FControlLock);
    std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
    std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
    FImage.reset();
}

void TGIFAnimator::Fire(const TNotifyEvent& Event) {
    if (Event && !Destroying()) {
        Event(this);
    }
}

void TGIFAnimator::SetImage(std::unique_ptr<TFrameSource> Image) {
    {
        std::lock_guard<std::recursive_mutex> Control(FControlLock);
        std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
        std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
        FImage = std::move(Image);
        if (FImage) {
            FImage->OnChange = [this] { HandleImageChange(); };
        }
    }
    HandleImageChange();
}

void TGIFAnimator::ResetCache() {
    std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
    FCache = QImage();
    FCacheIndex = -1;
    FCacheKey.reset();
}

void TGIFAnimator::HandleImageChange() {
    {
        std::lock_guard<std::recursive_mutex> Control(FControlLock);
        ResetCache();
        std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
        FFrameIndex = FImage ? FImage->ActiveFrameIndex() : -1;
        if (FFrameIndex >= 0 && FImage->FrameCount() > 0) {
            FTimer->SetInterval(CurrentFrameDelay());
        }
    }
    RefreshPicture();
    Fire(OnChange);
}

unsigned TGIFAnimator::CurrentFrameDelay() {
    std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
    const int Index = FFrameIndex;
    if (!FImage || Index < 0 || Index >= FImage->FrameCount() || FImage->FrameCount() < 2) {
        return 0;
    }
    return std::clamp(FImage->Frame(Index).DelayMs, MinFrameDelayMs, MaxFrameDelayMs);
}

void TGIFAnimator::SetAnimate(bool Value) {
    if (Value == FAnimate) {
        return;
    }
    if (Value) {
        FTimer->SetOnTimer([this](QObject*) { StepFrame(); });
        FTimer->SetEnabled(true);
        FAnimate = FTimer->Enabled();
        Fire(OnStart);
    } else {
        FTimer->SetEnabled(false);
        FTimer->SetOnTimer(nullptr);
        FAnimate = false;
        Fire(OnStop);
        RefreshPicture();
    }
}

void TGIFAnimator::FinishRun() { SetAnimate(false); }

void TGIFAnimator::SetAsyncDrawing(bool Value) {
    if (Value == FAsyncDrawing) {
        return;
    }
    std::lock_guard<std::recursive_mutex> Control(FControlLock);
    FTimer->SetSyncEvent(!Value);
    FAsyncDrawing = Value;
}

void TGIFAnimator::SetAutoSize(bool Value) {
    FAutoSize = Value;
    AdjustSize();
}

void TGIFAnimator::StoreUnderLock(bool& Field, bool Value) {
    if (Field == Value) {
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> Control(FControlLock);
        Field = Value;
    }
    RefreshPicture();
}

void TGIFAnimator::SetCenter(bool Value) { StoreUnderLock(FCenter, Value); }
void TGIFAnimator::SetStretch(bool Value) { StoreUnderLock(FStretch, Value); }
void TGIFAnimator::SetTransparent(bool Value) { StoreUnderLock(FTransparent, Value); }

void TGIFAnimator::SetFrameIndex(int Value) {
    {
        std::lock_guard<std::recursive_mutex> Control(FControlLock);
        std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
        if (Value == FFrameIndex || !FImage || Value < 0 || Value >= FImage->FrameCount()) {
            return;
        }
        FFrameIndex = Value;
        FTimer->SetInterval(CurrentFrameDelay());
    }
    Fire(OnFrameChanged);
    RefreshPicture();
}

void TGIFAnimator::AdjustSize() {
    QSize Logical;
    {
        std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
        if (!FAutoSize || !FImage || FImage->Empty()) {
            return;
        }
        Logical = FImage->LogicalSize();
    }
    // Resizing takes the canvas lock, which comes before the image lock.
    resize(Logical);
}

bool TGIFAnimator::FitToImage(int& Width, int& Height) {
    std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
    if (!FImage || FImage->Empty()) {
        return true;
    }
    const QSize Logical = FImage->LogicalSize();
    if (FAlign == alNone || FAlign == alLeft || FAlign == alRight) {
        Width = Logical.width();
    }
    if (FAlign == alNone || FAlign == alTop || FAlign == alBottom) {
        Height = Logical.height();
    }
    return true;
}

QSize TGIFAnimator::sizeHint() const {
    auto& ImageLock = const_cast<std::recursive_mutex&>(FImageLock);
    std::lock_guard<std::recursive_mutex> ImageGuard(ImageLock);
    return FImage && !FImage->Empty() ? FImage->LogicalSize() : QWidget::sizeHint();
}

void TGIFAnimator::FireFrameChanged() {
    if (!OnFrameChanged) {
        return;
    }
    if (FAsyncDrawing) {
        FTimer->RunSynchronized([this] { Fire(OnFrameChanged); });
    } else {
        Fire(OnFrameChanged);
    }
}

void TGIFAnimator::StepFrame() {
    if (!ShownInWindow() || Destroying()) {
        return;
    }
    bool Finished = false;
    {
        std::lock_guard<std::recursive_mutex> Control(FControlLock);
        int Count = 0;
        {
            std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
            Count = FImage ? FImage->FrameCount() : 0;
        }
        if (Count < 2) {
            return;
        }
        FFrameIndex = FFrameIndex + 1 >= Count ? 0 : FFrameIndex + 1;
        try {
            PaintNow();
        } catch (...) {
            FTimer->SetInterval(CurrentFrameDelay());
            throw;
        }
        FTimer->SetInterval(CurrentFrameDelay());
        Finished = !FLoop && FFrameIndex == 0;
    }
    // The locks are released before anything reaches the UI thread, so a
    // setter or a repaint there cannot be kept waiting for them meanwhile.
    FireFrameChanged();
    if (!Finished) {
        return;
    }
    if (IsUiThread()) {
        FinishRun();
    } else {
        FTimer->SetEnabled(false);
        PostToUiThread([this] { FinishRun(); }, FAlive);
    }
}

QImage TGIFAnimator::ComposeFrameBitmap(int Index, std::optional<QRgb>& KeyColour) {
    std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
    std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
    const int Count = FImage->FrameCount();
    Index = std::clamp(Index, 0, Count - 1);
    QImage Bitmap;
    if (!FCache.isNull() && FCacheIndex >= 0 && FCacheIndex == Index - 1 &&
        FImage->Frame(FCacheIndex).DisposalMode != dmPrevious) {
        // Sequential playback: only the previous frame's restore and the new frame.
        const TFrameInfo Previous = FImage->Frame(FCacheIndex);
        Bitmap = std::move(FCache);
        FCacheIndex = -1;
        KeyColour = FCacheKey;
        if (Previous.DisposalMode == dmBackground) {
            QPainter(&Bitmap).fillRect(FrameRect(Previous), FCacheBrush);
        }
    } else {
        ResetCache();
        const QSize Logical = FImage->LogicalSize();
        Bitmap = QImage(Logical, QImage::Format_ARGB32_Premultiplied);
        KeyColour.reset();
        const int Active = FImage->ActiveFrameIndex();
        const std::optional<QRgb> ActiveKey =
            Active >= 0 && Active < Count ? FImage->Frame(Active).TransparentKey : std::nullopt;
        if (ActiveKey) {
            KeyColour = ActiveKey;
            FCacheBrush = QColor(*ActiveKey);
        } else if (FImage->ScreenBackground() && FImage->Transparent()) {
            FCacheBrush = QColor(*FImage->ScreenBackground());
        } else {
            FCacheBrush = FWindowColour;
        }
        Bitmap.fill(FCacheBrush);
        // Start at the latest frame that hides everything before it.
        int Start = Index;
        while (Start > 0) {
            const TFrameInfo Frame = FImage->Frame(Start);
            const bool Covers = Frame.Width == Logical.width() && Frame.Height == Logical.height();
            const bool Opaque = !Frame.TransparentKey && (Start == Index || Frame.DisposalMode != dmPrevious);
            if (Covers && (Opaque || (Frame.DisposalMode == dmBackground && Start < Index))) {
                break;
            }
            --Start;
        }
        QPainter Painter(&Bitmap);
        for (int Drawn = Start; Drawn < Index; ++Drawn) {
            const TFrameInfo Frame = FImage->Frame(Drawn);
            if (Frame.DisposalMode == dmPrevious) {
                continue;
            }
            if (Frame.DisposalMode == dmBackground) {
                if (Drawn != Start) {
                    Painter.fillRect(FrameRect(Frame), FCacheBrush);
                }
                continue;
            }
            FImage->DrawFrame(Drawn, Painter, FrameRect(Frame), true);
        }
    }
    {
        QPainter Painter(&Bitmap);
        FImage->DrawFrame(Index, Painter, FrameRect(FImage->Frame(Index)), true);
    }
    FCache = Bitmap;
    FCacheIndex = Index;
    FCacheKey = KeyColour;
    return Bitmap;
}

QRect TGIFAnimator::Destination(const QSize& Bitmap, const QRect& Client) const {
    if (FStretch) {
        return Client;
    }
    if (FCenter) {
        return QRect(QPoint((Client.width() - Bitmap.width()) / 2, (Client.height() - Bitmap.height()) / 2), Bitmap);
    }
    return QRect(QPoint(0, 0), Bitmap);
}

void TGIFAnimator::PaintImage(QPainter& Canvas, const QRect& Client) {
    bool SeeThrough = true;
    {
        std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
        SeeThrough = !FImage || FImage->Empty() || FImage->Transparent();
    }
    // Drawing what lies behind paints other widgets: not under the image lock,
    // which is the innermost.
    if (SeeThrough) {
        PaintParentImage(Canvas);
    }
    std::lock_guard<std::recursive_mutex> ImageGuard(FImageLock);
    if (!FImage || FImage->Empty() || FImage->FrameCount() == 0) {
        return;
    }
    const QSize Logical = FImage->LogicalSize();
    if (Logical.width() < 1 || Logical.height() < 1) {
        return;
    }
    std::optional<QRgb> KeyColour;
    const QImage Bitmap = ComposeFrameBitmap(FFrameIndex, KeyColour);
    const QRect Target = Destination(Bitmap.size(), Client);
    if (KeyColour && FTransparent) {
        Canvas.drawImage(Target, WithoutColour(Bitmap, *KeyColour));
    } else {
        Canvas.drawImage(Target, Bitmap);
    }
}

}  // namespace kit
