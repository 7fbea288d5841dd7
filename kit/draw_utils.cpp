#include "kit/draw_utils.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMutexLocker>
#include <array>

#include "kit/resource_strings.h"

namespace kit {
namespace {

struct TSystemColor {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};

// The system colours by index, as the palette names them.
constexpr std::array<TSystemColor, 31> SystemColors = {{
    {QPalette::Active, QPalette::Button},             // scroll bar
    {QPalette::Active, QPalette::Window},             // desktop
    {QPalette::Active, QPalette::Highlight},          // active caption
    {QPalette::Inactive, QPalette::Highlight},        // inactive caption
    {QPalette::Active, QPalette::Window},             // menu
    {QPalette::Active, QPalette::Base},               // window
    {QPalette::Active, QPalette::Shadow},             // window frame
    {QPalette::Active, QPalette::WindowText},         // menu text
    {QPalette::Active, QPalette::Text},               // window text
    {QPalette::Active, QPalette::HighlightedText},    // caption text
    {QPalette::Active, QPalette::Window},             // active border
    {QPalette::Inactive, QPalette::Window},           // inactive border
    {QPalette::Active, QPalette::Dark},               // application workspace
    {QPalette::Active, QPalette::Highlight},          // highlight
    {QPalette::Active, QPalette::HighlightedText},    // highlighted text
    {QPalette::Active, QPalette::Button},             // button face
    {QPalette::Active, QPalette::Dark},               // button shadow
    {QPalette::Disabled, QPalette::Text},             // grey text
    {QPalette::Active, QPalette::ButtonText},         // button text
    {QPalette::Inactive, QPalette::HighlightedText},  // inactive caption text
    {QPalette::Active, QPalette::Light},              // button highlight
    {QPalette::Active, QPalette::Shadow},             // 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},           // 3-D light
    {QPalette::Active, QPalette::ToolTipText},        // tool tip text
    {QPalette::Active, QPalette::ToolTipBase},        // tool tip background
    {QPalette::Active, QPalette::Window},             // (unused index)
    {QPalette::Active, QPalette::Link},               // hot light
    {QPalette::Active, QPalette::Highlight},          // active caption gradient
    {QPalette::Inactive, QPalette::Highlight},        // inactive caption gradient
    {QPalette::Active, QPalette::Highlight},          // menu highlight
    {QPalette::Active, QPalette::Window},             // menu bar
}};

bool IsSystemColor(TColor Color) { return (Color & 0xFF000000U) == 0xFF000000U; }

}  // namespace

TColor FromQColor(const QColor& Color) {
    return static_cast<TColor>(Color.red()) | static_cast<TColor>(Color.green()) << 8 |
           static_cast<TColor>(Color.blue()) << 16;
}

TColor ColorToRGB(TColor Color, const QPalette* Palette) {
    if (!IsSystemColor(Color)) {
        return Color;
    }
    const std::size_t index = Color & 0xFFU;
    if (index >= SystemColors.size()) {
        return 0;
    }
    const QPalette palette = Palette != nullptr ? *Palette : QGuiApplication::palette();
    return FromQColor(palette.color(SystemColors[index].Group, SystemColors[index].Role));
}

TColor PaletteRelativeColor(TColor Color, const QPalette* Palette) {
    return ColorToRGB(Color, Palette) | clPaletteRelative;
}

QColor ToQColor(TColor Color, const QPalette* Palette) {
    const TColor rgb = ColorToRGB(Color, Palette);
    return {static_cast<int>(rgb & 0xFF), static_cast<int>(rgb >> 8 & 0xFF), static_cast<int>(rgb >> 16 & 0xFF)};
}

void DrawBitmapMasked(QPainter& Canvas, int X, int Y, int Width, int Height, const QImage& Bitmap, int SourceX,
                      int SourceY, int SourceWidth, int SourceHeight, TColor Key, QRecursiveMutex* BitmapLock) {
    QMutexLocker<QRecursiveMutex> lock(BitmapLock);
    if (Bitmap.isNull()) {
        return;
    }
    if (Width < 1) {
        Width = Bitmap.width();
    }
    if (Height < 1) {
        Height = Bitmap.height();
    }
    if (SourceWidth < 1 || SourceHeight < 1) {
        SourceX = 0;
        SourceY = 0;
        SourceWidth = Bitmap.width();
        SourceHeight = Bitmap.height();
    }
    const QRect target(X, Y, Width, Height);
    const QRect source(SourceX, SourceY, SourceWidth, SourceHeight);
    Canvas.save();
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (Key == clNone) {
        Canvas.drawImage(target, Bitmap, source);
    } else {
        const bool monochrome = Bitmap.depth() == 1;
        QRgb key = 0;
        if (monochrome) {
            key = qRgb(255, 255, 255);
        } else if (Key == clDefault) {
            key = Bitmap.pixel(0, Bitmap.height() - 1);
        } else {
            key = ToQColor(Key).rgb();
        }
        QImage masked = Bitmap.copy(source).convertToFormat(QImage::Format_ARGB32);
        for (int row = 0; row < masked.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(masked.scanLine(row));
            for (int column = 0; column < masked.width(); ++column) {
                if ((line[column] & 0xFFFFFFU) == (key & 0xFFFFFFU)) {
                    line[column] = 0;
                }
            }
        }
        Canvas.drawImage(target, masked);
    }
    Canvas.restore();
}

void DrawBitmapRectMasked(QPainter& Canvas, int X, int Y, int Width, int Height, const TRect& Source,
                          const QImage& Bitmap, TColor Key, QRecursiveMutex* BitmapLock) {
    DrawBitmapMasked(Canvas, X, Y, Width, Height, Bitmap, Source.Left, Source.Top, RectWidth(Source),
                     RectHeight(Source), Key, BitmapLock);
}

void PaintParentBackground(QWidget* Control, QPainter& Canvas) {
    if (Control == nullptr || Control->parentWidget() == nullptr) {
        return;
    }
    QWidget* parent = Control->parentWidget();
    const QRect bounds = Control->geometry();
    // A region rendered from a widget lands with its top-left at the offset.
    parent->render(&Canvas, QPoint(), QRegion(bounds), QWidget::DrawWindowBackground);
    for (QObject* child : parent->children()) {
        if (child == Control) {
            break;
        }
        auto* sibling = qobject_cast<QWidget*>(child);
        const QRect overlap = sibling != nullptr ? sibling->geometry() & bounds : QRect();
        if (sibling != nullptr && !sibling->isWindow() && sibling->isVisible() && !overlap.isEmpty()) {
            sibling->render(&Canvas, overlap.topLeft() - bounds.topLeft(), QRegion(overlap.translated(-sibling->pos())),
                            QWidget::DrawWindowBackground | QWidget::DrawChildren);
        }
    }
}

bool BringWindowForward(QWidget* Window, bool Restore) {
    if (Window == nullptr || !Window->isEnabled()) {
        return false;
    }
    if (Restore) {
        if (!Window->isVisible()) {
            return false;
        }
        if (Window->isMinimized()) {
            Window->setWindowState((Window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        }
    }
    Window->raise();
    Window->activateWindow();
    if (Restore) {
        Window->setFocus();
    }
    return true;
}

void ReportNotImplemented() {
    while (QApplication::overrideCursor() != nullptr) {
        QApplication::restoreOverrideCursor();
    }
    QMessageBox::information(nullptr, QString(), ResourceString("Function not yet implemented"), QMessageBox::Ok);
    throw EAbort();
}

QCursor KitCursor(int Id) {
    switch (Id) {
        case crKitHand:
            return QCursor(Qt::PointingHandCursor);
        case crKitDrag:
            return QCursor(Qt::ClosedHandCursor);
        default:
            return QCursor(Qt::ArrowCursor);
    }
}

}  // namespace kit
