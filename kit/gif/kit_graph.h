#pragma once

// Graphics utilities: a bitmap's pixel format and the bitmap written as an
// in-memory BMP file image of a chosen depth, true colour reduced to 256
// colours by one of six methods.

#include <QByteArray>
#include <QImage>
#include <cstdint>

namespace kit {

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

enum TReductionMethod : uint8_t {
    rmHistogram = 0,
    rmMedianCut = 1,
    rmFixed7R8G4B = 2,
    rmFixed6R6G6B = 3,
    rmTriple = 4,
    rmGrayscale = 5
};

class KitGraph {
public:
    static TPixelFormat BitmapPixelFormat(const QImage& bitmap);
    // The bitmap as a BMP file image of pixelFormat (1, 4, 8 or 24 bits);
    // "Bitmap image is not valid" for a null bitmap, the not-implemented
    // error for other formats.
    static QByteArray BitmapToDibStream(const QImage& bitmap, TPixelFormat pixelFormat, TReductionMethod method);
    static int ScanlineBytes(int width, int bitsPerPixel, int alignment);
};

}  // namespace kit
