#include "kit/image_control.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QThread>

#include "kit/draw_utils.h"
#include "kit/x11_presenter.h"

namespace kit {

TImageControl::TImageControl(QWidget* Parent) : QWidget(Parent) {
    PrepareUiDispatch();
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(105, 105);
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        setAttribute(Qt::WA_NativeWindow);
    }
    std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
    FBackground = palette().color(backgroundRole());
    FClientSize = size();
}

TImageControl::~TImageControl() {
    FDestroying = true;
    FShownInWindow = false;
}

bool TImageControl::event(QEvent* Event) {
    switch (Event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ParentChange:
        case QEvent::WinIdChange:
            TrackShown();
            break;
        case QEvent::PaletteChange: {
            std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
            FBackground = palette().color(backgroundRole());
            break;
        }
        default:
            break;
    }
    return QWidget::event(Event);
}

void TImageControl::TrackShown() {
    const bool Shown = isVisible() && parentWidget() != nullptr;
    if (Shown && testAttribute(Qt::WA_NativeWindow)) {
        FNativeWindow = static_cast<unsigned long>(winId());
    }
    FShownInWindow = Shown;
}

void TImageControl::resizeEvent(QResizeEvent* Event) {
    {
        std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
        FClientSize = size();
    }
    QWidget::resizeEvent(Event);
}

QImage TImageControl::Render() {
    QImage Off(FClientSize.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    Off.fill(FBackground);
    QPainter Canvas(&Off);
    const bool WasDrawing = FDrawing;
    FDrawing = true;
    try {
        PaintImage(Canvas, QRect(QPoint(0, 0), FClientSize));
    } catch (...) {
        FDrawing = WasDrawing;
        throw;
    }
    FDrawing = WasDrawing;
    return Off;
}

void TImageControl::PaintParentImage(QPainter& Canvas) {
    if (IsUiThread()) {
        FParentImage = QImage(FClientSize, QImage::Format_ARGB32_Premultiplied);
        FParentImage.fill(FBackground);
        QPainter Behind(&FParentImage);
        PaintParentBackground(this, Behind);
    }
    if (!FParentImage.isNull() && FParentImage.size() == FClientSize) {
        Canvas.drawImage(0, 0, FParentImage);
    }
}

QImage TImageControl::Snapshot() {
    std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
    return Render();
}

void TImageControl::paintEvent(QPaintEvent*) {
    const QImage Frame = Snapshot();
    QPainter(this).drawImage(0, 0, Frame);
}

void TImageControl::PaintNow() {
    if (IsUiThread()) {
        repaint();
        return;
    }
    std::lock_guard<std::recursive_mutex> Canvas(FCanvasLock);
    const QImage Frame = Render();
    const unsigned long Window = FNativeWindow;
    if (Window != 0) {
        if (!FPresenter) {
            FPresenter = std::make_unique<TX11Presenter>();
        }
        if (FPresenter->Put(Window, Frame)) {
            return;
        }
    }
    PostToUiThread([this] { update(); }, FAlive);
}

void TImageControl::RefreshPicture() {
    if (FDestroying) {
        return;
    }
    AdjustSize();
    update();
}

}  // namespace kit
