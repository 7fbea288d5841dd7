#include "kit/gif_frame_source.h"

namespace kit {

namespace {

std::optional<QRgb> OptionalColour(TColor Colour) {
    if (Colour == clNone) {
        return std::nullopt;
    }
    return ToQColor(Colour).rgb();
}

}  // namespace

TGIFFrameSource::TGIFFrameSource(std::unique_ptr<TGIFImage> Image) : FImage(std::move(Image)) {
    FImage->OnChange = [this](TGraphic*) {
        if (OnChange) {
            OnChange();
        }
    };
}

TGIFFrameSource::~TGIFFrameSource() { FImage->OnChange = nullptr; }

std::optional<QRgb> TGIFFrameSource::ScreenBackground() const { return OptionalColour(FImage->ScreenBackground()); }

TFrameInfo TGIFFrameSource::Frame(int Index) {
    TGIFFrame& Frame = *FImage->FrameAt(Index);
    return TFrameInfo{Frame.Origin(),       Frame.FrameWidth(),
                      Frame.FrameHeight(),  static_cast<unsigned>(Frame.DelayMs()),
                      Frame.DisposalMode(), OptionalColour(Frame.TransparentKey())};
}

void TGIFFrameSource::DrawFrame(int Index, QPainter& Canvas, const QRect& Rect, bool Transparent) {
    FImage->FrameAt(Index)->DrawFrame(Canvas, Rect, Transparent);
}

}  // namespace kit
