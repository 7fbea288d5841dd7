// Graphics utilities: pixel formats and BMP images with the reduction methods.

#include <gtest/gtest.h>

#include <QSet>
#include <QtEndian>

#include "kit/gif/graphic.h"
#include "kit/gif/kit_graph.h"

namespace kit {
namespace {

// A parsed BMP file image of 8 bits or fewer.
struct Bmp {
    explicit Bmp(const QByteArray& data) : Data(data) {}
    uint32_t U32(int offset) const { return qFromLittleEndian<quint32>(Data.constData() + offset); }
    uint16_t U16(int offset) const { return qFromLittleEndian<quint16>(Data.constData() + offset); }
    int Bits() const { return U16(28); }
    int Width() const { return static_cast<int>(U32(18)); }
    int Height() const { return static_cast<int>(U32(22)); }
    // Palette entry as blue, green, red, reserved.
    std::array<uint8_t, 4> Entry(int i) const {
        std::array<uint8_t, 4> entry{};
        std::memcpy(entry.data(), Data.constData() + 54 + size_t{4} * i, 4);
        return entry;
    }
    // Index of the pixel at x in the row shown at y from the top.
    int Index(int x, int y) const {
        const int stride = KitGraph::ScanlineBytes(Width(), Bits(), 32);
        const auto* row = reinterpret_cast<const uint8_t*>(Data.constData()) + U32(10) +
                          static_cast<size_t>(Height() - 1 - y) * stride;
        if (Bits() == 8) {
            return row[x];
        }
        if (Bits() == 4) {
            return (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
        }
        return (row[x / 8] >> (7 - (x & 7))) & 1;
    }
    QRgb Color(int x, int y) const {
        const auto entry = Entry(Index(x, y));
        return qRgb(entry[2], entry[1], entry[0]);
    }
    QByteArray Data;
};

QImage TrueColor(int width, int height, const std::function<QRgb(int, int)>& color) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, color(x, y));
        }
    }
    return image;
}

Bmp Reduce(const QImage& image, TReductionMethod method) {
    return Bmp(KitGraph::BitmapToDibStream(image, pf8bit, method));
}

TEST(KitGraph, WritesTheBmpHeaders) {
    const QImage image = TrueColor(5, 3, [](int x, int y) { return qRgb(x * 50, y * 100, 0); });
    struct Case {
        TReductionMethod Method;
        uint32_t ColorsUsed;
        std::array<uint8_t, 4> LastEntry;
    } cases[] = {
        {rmHistogram, 0, {128, 128, 128, 0}},       {rmFixed7R8G4B, 224, {128, 128, 128, 128}},
        {rmFixed6R6G6B, 216, {128, 128, 128, 128}}, {rmTriple, 0, {0, 0, 0, 0}},
        {rmGrayscale, 0, {255, 255, 255, 0}},
    };
    for (const auto& c : cases) {
        const Bmp bmp = Reduce(image, c.Method);
        const int stride = 8;  // 5 bytes padded to a 32-bit multiple
        EXPECT_EQ(bmp.Data.left(2), "BM");
        EXPECT_EQ(bmp.U32(2), 54u + 1024u + 3 * stride) << c.Method;
        EXPECT_EQ(bmp.U32(6), 0u);
        EXPECT_EQ(bmp.U32(10), 54u + 1024u);
        EXPECT_EQ(bmp.U32(14), 40u);
        EXPECT_EQ(bmp.Width(), 5);
        EXPECT_EQ(bmp.Height(), 3);
        EXPECT_EQ(bmp.U16(26), 1);
        EXPECT_EQ(bmp.Bits(), 8);
        EXPECT_EQ(bmp.U32(30), 0u);
        EXPECT_EQ(bmp.U32(34), 3u * stride);
        EXPECT_EQ(bmp.U32(46), c.ColorsUsed) << c.Method;
        EXPECT_EQ(bmp.Entry(255), c.LastEntry) << c.Method;
        EXPECT_EQ(bmp.Data.size(), static_cast<qsizetype>(bmp.U32(2)));
    }
}

TEST(KitGraph, HistogramKeepsFewColoursAndCoarsensMany) {
    // 256 distinct colours on 32 x 16 pixels.
    const QImage few = TrueColor(32, 16, [](int x, int y) { return qRgb((x % 16) * 17, y * 13, 3); });
    const Bmp exact = Reduce(few, rmHistogram);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_EQ(exact.Color(x, y), few.pixel(x, y)) << x << "," << y;
        }
    }
    // 3000 distinct colours: one low bit of blue goes first, leaving 1500.
    const QImage many = TrueColor(60, 50, [](int x, int y) {
        const int i = y * 60 + x;
        return qRgb(i % 10, (i / 10) % 150 + 50, (i / 1500) * 2 + (i % 2));
    });
    const Bmp coarse = Reduce(many, rmHistogram);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(coarse.Entry(i)[0] & 1, 0) << i;
    }
}

TEST(KitGraph, FixedGrayAndTripleMethodsMapByFormula) {
    const QImage image = TrueColor(3, 1, [](int x, int) {
        return x == 0 ? qRgb(255, 255, 255) : x == 1 ? qRgb(255, 0, 0) : qRgb(100, 100, 100);
    });
    const Bmp gray = Reduce(image, rmGrayscale);
    EXPECT_EQ(gray.Index(0, 0), 255);
    EXPECT_EQ(gray.Index(1, 0), 76);
    const Bmp six = Reduce(image, rmFixed6R6G6B);
    EXPECT_EQ(six.Index(0, 0), 215);
    EXPECT_EQ(six.Index(1, 0), 5 * 36);
    EXPECT_EQ(six.Index(2, 0), 2 * 36 + 2 * 6 + 2);  // 100 is nearest to 102
    const Bmp seven = Reduce(image, rmFixed7R8G4B);
    EXPECT_EQ(seven.Index(0, 0), 6 * 32 + 7 * 4 + 3);
    EXPECT_EQ(seven.Color(2, 0), qRgb(85, 109, 85));
    // Triple: the channel shown follows (x + y) mod 3 from the first stored row.
    const Bmp triple = Reduce(image, rmTriple);
    EXPECT_EQ(triple.Index(0, 0), 63);
    EXPECT_EQ(triple.Index(1, 0), 64 + 0);
    EXPECT_EQ(triple.Index(2, 0), 128 + 25);
}

TEST(KitGraph, MedianCutGivesOneBoxPerColourCell) {
    const QRgb colors[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(0, 0, 0)};
    const QImage image = TrueColor(8, 8, [&](int x, int y) { return colors[(x / 2 + y) % 4]; });
    const Bmp bmp = Reduce(image, rmMedianCut);
    EXPECT_EQ(bmp.U32(46), 4u);
    QSet<QRgb> shown;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            shown.insert(bmp.Color(x, y));
        }
    }
    EXPECT_EQ(shown, (QSet<QRgb>{qRgb(255, 15, 15), qRgb(15, 255, 15), qRgb(15, 15, 255), qRgb(0, 0, 0)}));
}

TEST(KitGraph, FormatsAndOwnForms) {
    QImage indexed(7, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)});
    indexed.fill(2);
    indexed.setPixel(3, 1, 1);
    const Bmp own = Bmp(KitGraph::BitmapToDibStream(indexed, pf8bit, rmMedianCut));
    EXPECT_EQ(own.Index(3, 1), 1);
    EXPECT_EQ(own.Index(0, 0), 2);
    EXPECT_EQ(own.Entry(2), (std::array<uint8_t, 4>{9, 8, 7, 0}));

    const QImage image = TrueColor(9, 2, [](int x, int) { return x % 2 ? qRgb(250, 250, 250) : qRgb(10, 0, 0); });
    const Bmp mono = Bmp(KitGraph::BitmapToDibStream(image, pf1bit, rmHistogram));
    EXPECT_EQ(mono.Bits(), 1);
    EXPECT_EQ(mono.Color(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(mono.Color(1, 1), qRgb(255, 255, 255));
    const Bmp four = Bmp(KitGraph::BitmapToDibStream(image, pf4bit, rmHistogram));
    EXPECT_EQ(four.Bits(), 4);
    EXPECT_EQ(four.Color(1, 0), qRgb(255, 255, 255));

    EXPECT_THROW(KitGraph::BitmapToDibStream(image, pf16bit, rmHistogram), ENotImplemented);
    EXPECT_THROW(KitGraph::BitmapToDibStream(image, pf32bit, rmHistogram), ENotImplemented);
    EXPECT_THROW(KitGraph::BitmapToDibStream(QImage(), pf8bit, rmHistogram), EInvalidGraphicOperation);
}

}  // namespace
}  // namespace kit
