#pragma once

#include <QImage>
#include <QPainter>
#include <vector>

#include "kit/frame_source.h"

namespace kit::testing {

// An animated picture in memory: each frame a picture with its place, delay,
// disposal and key colour.
class TFakeFrameSource : public kit::TFrameSource {
public:
    struct TFakeFrame {
        TFrameInfo Info;
        QImage Picture;
    };

    // Adds a frame of Size at Origin filled with Colour; with a key colour,
    // every other pixel of the frame is that key.
    TFakeFrameSource& AddFrame(QPoint Origin, QSize Size, QRgb Colour, uint8_t Disposal, unsigned DelayMs = 100,
                               std::optional<QRgb> Key = std::nullopt) {
        QImage Picture(Size, QImage::Format_ARGB32);
        Picture.fill(Colour);
        if (Key) {
            for (int Y = 0; Y < Size.height(); ++Y) {
                for (int X = (Y % 2); X < Size.width(); X += 2) {
                    Picture.setPixel(X, Y, *Key);
                }
            }
        }
        Frames.push_back({TFrameInfo{Origin, Size.width(), Size.height(), DelayMs, Disposal, Key}, Picture});
        return *this;
    }

    int FrameCount() const override { return static_cast<int>(Frames.size()); }
    int ActiveFrameIndex() const override { return Frames.empty() ? -1 : Active; }
    QSize LogicalSize() const override { return Frames.empty() ? QSize() : Logical; }
    std::optional<QRgb> ScreenBackground() const override { return Background; }
    bool Transparent() const override {
        for (const TFakeFrame& Frame : Frames) {
            if (Frame.Info.TransparentKey) {
                return true;
            }
        }
        return false;
    }
    bool Empty() const override { return Frames.empty(); }
    TFrameInfo Frame(int Index) override { return Frames.at(Index).Info; }
    void DrawFrame(int Index, QPainter& Canvas, const QRect& Rect, bool Transparent) override {
        const TFakeFrame& Frame = Frames.at(Index);
        QImage Shown = Frame.Picture;
        if (Transparent && Frame.Info.TransparentKey) {
            const QRgb Key = *Frame.Info.TransparentKey;
            for (int Y = 0; Y < Shown.height(); ++Y) {
                for (int X = 0; X < Shown.width(); ++X) {
                    if (Shown.pixel(X, Y) == Key) {
                        Shown.setPixel(X, Y, qRgba(0, 0, 0, 0));
                    }
                }
            }
        }
        Canvas.drawImage(Rect, Shown);
    }

    std::vector<TFakeFrame> Frames;
    QSize Logical{8, 4};
    int Active = 0;
    std::optional<QRgb> Background;
};

}  // namespace kit::testing
