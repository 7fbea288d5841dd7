#pragma once

#include <memory>

#include "kit/frame_source.h"
#include "kit/gif/gif_image.h"

namespace kit {

// A GIF image as the animator's picture.
class TGIFFrameSource : public TFrameSource {
public:
    explicit TGIFFrameSource(std::unique_ptr<TGIFImage> Image = std::make_unique<TGIFImage>());
    ~TGIFFrameSource() override;
    TGIFFrameSource(const TGIFFrameSource&) = delete;
    TGIFFrameSource& operator=(const TGIFFrameSource&) = delete;

    TGIFImage& Image() { return *FImage; }

    int FrameCount() const override { return FImage->FrameCount(); }
    int ActiveFrameIndex() const override { return FImage->ActiveFrameIndex(); }
    QSize LogicalSize() const override { return QSize(FImage->LogicalWidth(), FImage->LogicalHeight()); }
    std::optional<QRgb> ScreenBackground() const override;
    bool Transparent() const override { return FImage->Transparent(); }
    bool Empty() const override { return FImage->Empty(); }
    TFrameInfo Frame(int Index) override;
    void DrawFrame(int Index, QPainter& Canvas, const QRect& Rect, bool Transparent) override;

private:
    std::unique_ptr<TGIFImage> FImage;
};

}  // namespace kit
