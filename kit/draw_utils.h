#pragma once

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QRecursiveMutex>
#include <QWidget>
#include <cstdint>

#include "kit/exception.h"
#include "kit/str_utils.h"

namespace kit {

// Colour values as the kit's components keep them: 32 bits, red in the low
// byte, green in the next, blue in the third. A value with the high byte 0xFF
// names a system colour by its index in the low byte (0xFF000005 = window
// background) and is resolved through the palette before any comparison.
using TColor = std::uint32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
inline constexpr TColor clPaletteRelative = 0x02000000;

// The colour as an RGB value; system colours are looked up in Palette (the
// application's palette when none is given). Other values are returned as
// they are.
TColor ColorToRGB(TColor Color, const QPalette* Palette = nullptr);
// ColorToRGB with the palette-relative flag 0x02000000 added.
TColor PaletteRelativeColor(TColor Color, const QPalette* Palette = nullptr);
QColor ToQColor(TColor Color, const QPalette* Palette = nullptr);
TColor FromQColor(const QColor& Color);

// Draws the source rectangle of Bitmap stretched onto the destination
// rectangle, leaving out the pixels of the key colour. A destination width or
// height below 1 takes the bitmap's; a source width or height below 1 takes
// the whole bitmap. Key clNone draws every pixel; clDefault stands for the
// colour of the bitmap's bottom-left pixel; a monochrome bitmap always keys
// on white. Stretching picks pixels, never blends them. The bitmap's lock,
// when given, is held for the whole drawing.
void DrawBitmapMasked(QPainter& Canvas, int X, int Y, int Width, int Height, const QImage& Bitmap, int SourceX,
                      int SourceY, int SourceWidth, int SourceHeight, TColor Key,
                      QRecursiveMutex* BitmapLock = nullptr);
void DrawBitmapRectMasked(QPainter& Canvas, int X, int Y, int Width, int Height, const TRect& Source,
                          const QImage& Bitmap, TColor Key, QRecursiveMutex* BitmapLock = nullptr);

// Paints into Canvas (in Control's coordinates) what lies behind Control: the
// parent's background, then each visible sibling that comes before Control
// in the parent's child order and overlaps it. Siblings after it are never
// painted. Nothing without a control or parent.
void PaintParentBackground(QWidget* Control, QPainter& Canvas);

// Brings the window to the front. False when it is disabled. With Restore:
// false when it is hidden; a minimised window is shown normally (a maximised
// one stays maximised) and gets the focus.
bool BringWindowForward(QWidget* Window, bool Restore);

// The silent abort: ends the current operation without an error box.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// Restores the default cursor, shows "Function not yet implemented" in an
// information box and aborts the current operation (throws EAbort).
[[noreturn]] void ReportNotImplemented();

// The kit's two cursors by number: 14000 a pointing hand, 14001 a dragging
// hand; any other number gives the arrow.
inline constexpr int crKitHand = 14000;
inline constexpr int crKitDrag = 14001;
QCursor KitCursor(int Id);

}  // namespace kit
