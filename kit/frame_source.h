#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <cstdint>
#include <functional>
#include <optional>

class QPainter;

namespace kit {

// One frame of an animated picture as the animator sees it.
struct TFrameInfo {
    QPoint Origin;
    int Width = 0;
    int Height = 0;
    unsigned DelayMs = 0;
    // 0 none, 1 keep, 2 restore to background, 3 restore to previous.
    uint8_t DisposalMode = 0;
    std::optional<QRgb> TransparentKey;
};

// An animated picture (a GIF image) as the animator uses it: its logical
// screen, its frames and single-frame drawing. The animator serialises all
// calls with its image lock, so an implementation may decode on demand.
class TFrameSource {
public:
    virtual ~TFrameSource() = default;
    virtual int FrameCount() const = 0;
    virtual int ActiveFrameIndex() const = 0;
    virtual QSize LogicalSize() const = 0;
    virtual std::optional<QRgb> ScreenBackground() const = 0;
    virtual bool Transparent() const = 0;
    virtual bool Empty() const = 0;
    virtual TFrameInfo Frame(int Index) = 0;
    // Draws frame Index stretched into Rect; with Transparent, pixels of the
    // frame's key colour are left out.
    virtual void DrawFrame(int Index, QPainter& Canvas, const QRect& Rect, bool Transparent) = 0;

    // Fired after the picture changed.
    std::function<void()> OnChange;
};

}  // namespace kit
