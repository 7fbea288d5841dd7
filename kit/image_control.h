#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>

#include "kit/ui_dispatch.h"
#include "kit/x11_presenter.h"

namespace kit {

// A control for pictures that may be repainted from a thread other than the
// UI thread. It owns a re-entrant control lock (for its subclass's picture
// state) and a canvas lock (held while drawing), composes what it shows into
// an off-screen image and can put that image on the screen at once from any
// thread: on X11 the control is a native window that a worker draws on through
// an X connection of its own, elsewhere the frame goes to the UI thread.
class TImageControl : public QWidget {
    Q_OBJECT
public:
    explicit TImageControl(QWidget* Parent = nullptr);
    ~TImageControl() override;

    void ControlLock() { FControlLock.lock(); }
    void ControlUnlock() { FControlLock.unlock(); }

    // Paints the control at once: a repaint on the UI thread; from another
    // thread the frame is composed there and put on the screen directly.
    void PaintNow();
    // What the control shows now, composed under the canvas lock.
    QImage Snapshot();

protected:
    // Paints the picture into Canvas (the off-screen image of the client
    // area), under the canvas lock; the background is already filled.
    virtual void PaintImage(QPainter& Canvas, const QRect& Client) = 0;
    // Paints into Canvas what lies behind the control: its parent's background
    // and the siblings under it. Widgets are drawn on the UI thread only, so
    // another thread gets the copy made at the last paint there (nothing
    // before the first, or after a resize). Canvas lock held.
    void PaintParentImage(QPainter& Canvas);
    // Adjusts the size and repaints after a change of the picture.
    void RefreshPicture();
    // Hook for the size adjustment of RefreshPicture.
    virtual void AdjustSize() {}

    bool Destroying() const { return FDestroying; }
    void MarkDestroying() { FDestroying = true; }
    // Whether a step off the UI thread may paint: shown, inside a window.
    bool ShownInWindow() const { return FShownInWindow; }
    bool Drawing() const { return FDrawing; }

    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    bool event(QEvent* Event) override;

    std::recursive_mutex FControlLock;
    std::recursive_mutex FCanvasLock;
    TAliveToken FAlive = MakeAliveToken();

private:
    QImage Render();  // canvas lock held
    void TrackShown();

    std::atomic<bool> FShownInWindow{false};
    std::atomic<bool> FDestroying{false};
    bool FDrawing = false;  // canvas lock
    QSize FClientSize;      // canvas lock
    QColor FBackground;     // canvas lock
    QImage FParentImage;    // canvas lock
    std::atomic<unsigned long> FNativeWindow{0};
    std::unique_ptr<TX11Presenter> FPresenter;  // used by the painting worker only
};

}  // namespace kit
