#pragma once

// The JPEG picture over libjpeg (library version 62), registered for the
// extensions "jpeg" and "jpg".

#include <QImage>

#include "kit/gif/graphic.h"

namespace kit {

class TJPEGImage : public TGraphic {
public:
    QString ClassName() const override { return QStringLiteral("TJPEGImage"); }
    void Assign(TGraphic* source) override;
    void CopyInto(TGraphic* dest) override;
    void Draw(QPainter& canvas, const QRect& rect) override;
    bool Empty() const override { return FImage.isNull(); }
    int Height() override { return FImage.height(); }
    int Width() override { return FImage.width(); }
    void SetHeight(int value) override;
    void SetWidth(int value) override;
    void ReadFromStream(QIODevice& stream) override;
    void WriteToStream(QIODevice& stream) override;

    // Compression quality used when writing, 1..100.
    int CompressionQuality = 90;
    const QImage& Image() const { return FImage; }

private:
    QImage FImage;  // RGB888 or Grayscale8
};

void RegisterJpegImage();
void UnregisterJpegImage();

}  // namespace kit
