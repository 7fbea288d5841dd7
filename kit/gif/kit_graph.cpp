#include "kit/gif/kit_graph.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "kit/gif/graphic.h"

namespace kit {

namespace {

using PaletteEntry = std::array<uint8_t, 4>;  // blue, green, red, reserved

// A BMP image being built: bottom-up rows padded to 32 bits.
struct Dib {
    int Width = 0;
    int Height = 0;
    int Bits = 8;
    uint32_t ColorsUsed = 0;
    std::vector<PaletteEntry> Palette;  // 2^Bits entries up to 8 bits
    std::vector<uint8_t> Pixels;

    Dib(int width, int height, int bits) : Width(width), Height(height), Bits(bits) {
        if (bits <= 8) {
            Palette.assign(size_t{1} << bits, PaletteEntry{0, 0, 0, 0});
        }
        Pixels.assign(static_cast<size_t>(Stride()) * height, 0);
    }
    int Stride() const { return KitGraph::ScanlineBytes(Width, Bits, 32); }
    uint8_t* Row(int stored) { return Pixels.data() + static_cast<size_t>(stored) * Stride(); }
    const uint8_t* Row(int stored) const { return Pixels.data() + static_cast<size_t>(stored) * Stride(); }
    void SetIndex(int stored, int x, int index) {
        uint8_t* row = Row(stored);
        if (Bits == 8) {
            row[x] = static_cast<uint8_t>(index);
        } else if (Bits == 4) {
            row[x / 2] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
        } else {
            row[x / 8] |= static_cast<uint8_t>((index & 1) << (7 - (x & 7)));
        }
    }
};

void Put16(QByteArray& out, uint16_t value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void Put32(QByteArray& out, uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

QByteArray Serialize(const Dib& dib) {
    const auto imageSize = static_cast<uint32_t>(dib.Pixels.size());
    const auto offset = static_cast<uint32_t>(14 + 40 + 4 * dib.Palette.size());
    QByteArray out;
    out.reserve(static_cast<qsizetype>(offset) + imageSize);
    out.append("BM", 2);
    Put32(out, offset + imageSize);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(dib.Width));
    Put32(out, static_cast<uint32_t>(dib.Height));
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(dib.Bits));
    Put32(out, 0);  // no compression
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, dib.ColorsUsed);
    Put32(out, 0);
    for (const auto& entry : dib.Palette) {
        out.append(reinterpret_cast<const char*>(entry.data()), 4);
    }
    out.append(reinterpret_cast<const char*>(dib.Pixels.data()), static_cast<qsizetype>(dib.Pixels.size()));
    return out;
}

PaletteEntry Entry(int red, int green, int blue, int reserved = 0) {
    return {static_cast<uint8_t>(blue), static_cast<uint8_t>(green), static_cast<uint8_t>(red),
            static_cast<uint8_t>(reserved)};
}

// The 24-bit pixels of a bitmap: blue, green, red per pixel, bottom-up rows.
Dib TrueColor(const QImage& bitmap) {
    const QImage rgb = bitmap.convertToFormat(QImage::Format_RGB888);
    Dib dib(rgb.width(), rgb.height(), 24);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* source = rgb.constScanLine(y);
        uint8_t* row = dib.Row(rgb.height() - 1 - y);
        for (size_t p = 0; p < size_t{3} * rgb.width(); p += 3) {
            row[p] = source[p + 2];
            row[p + 1] = source[p + 1];
            row[p + 2] = source[p];
        }
    }
    return dib;
}

// An indexed bitmap in its own depth and colours.
Dib OwnIndexed(const QImage& bitmap, int bits) {
    const QImage indexed = bits == 1 ? bitmap.convertToFormat(QImage::Format_Mono) : bitmap;
    Dib dib(indexed.width(), indexed.height(), bits);
    const QList<QRgb> colors = indexed.colorTable();
    for (int i = 0; i < std::min<int>(colors.size(), static_cast<int>(dib.Palette.size())); ++i) {
        dib.Palette[i] = Entry(qRed(colors[i]), qGreen(colors[i]), qBlue(colors[i]));
    }
    const int bytes = (indexed.width() * bits + 7) / 8;
    for (int y = 0; y < indexed.height(); ++y) {
        std::copy_n(indexed.constScanLine(y), bytes, dib.Row(indexed.height() - 1 - y));
    }
    return dib;
}

// Calls visit(stored row, x, blue, green, red) for every pixel in buffer order.
template <typename Visit>
void ForEachPixel(const Dib& source, Visit visit) {
    for (int y = 0; y < source.Height; ++y) {
        const uint8_t* row = source.Row(y);
        for (int x = 0; x < source.Width; ++x) {
            const uint8_t* pixel = row + size_t{3} * x;
            visit(y, x, pixel[0], pixel[1], pixel[2]);
        }
    }
}

int SquaredDistance(const PaletteEntry& entry, int red, int green, int blue) {
    const int dr = entry[2] - red;
    const int dg = entry[1] - green;
    const int db = entry[0] - blue;
    return dr * dr + dg * dg + db * db;
}

int NearestEntry(const std::vector<PaletteEntry>& palette, size_t count, int red, int green, int blue) {
    int best = 0;
    int bestDistance = INT32_MAX;
    for (size_t i = 0; i < count; ++i) {
        const int distance = SquaredDistance(palette[i], red, green, blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// 1 or 4 bits: each pixel takes the nearest colour of the fixed black/white or
// 16-colour palette.
Dib RenderLowDepth(const Dib& source, int bits) {
    static const std::vector<PaletteEntry> Standard16 = {
        Entry(0, 0, 0),       Entry(128, 0, 0),   Entry(0, 128, 0),   Entry(128, 128, 0),
        Entry(0, 0, 128),     Entry(128, 0, 128), Entry(0, 128, 128), Entry(192, 192, 192),
        Entry(128, 128, 128), Entry(255, 0, 0),   Entry(0, 255, 0),   Entry(255, 255, 0),
        Entry(0, 0, 255),     Entry(255, 0, 255), Entry(0, 255, 255), Entry(255, 255, 255)};
    Dib dib(source.Width, source.Height, bits);
    dib.Palette = bits == 1 ? std::vector<PaletteEntry>{Entry(0, 0, 0), Entry(255, 255, 255)} : Standard16;
    ForEachPixel(source, [&](int y, int x, int blue, int green, int red) {
        dib.SetIndex(y, x, NearestEntry(dib.Palette, dib.Palette.size(), red, green, blue));
    });
    return dib;
}

// Nearest level index for every channel value, lower level on a tie.
std::array<uint8_t, 256> NearestLevels(const std::vector<int>& levels) {
    std::array<uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        size_t best = 0;
        for (size_t i = 1; i < levels.size(); ++i) {
            if (std::abs(levels[i] - value) < std::abs(levels[best] - value)) {
                best = i;
            }
        }
        table[value] = static_cast<uint8_t>(best);
    }
    return table;
}

const std::vector<int> Levels4 = {0, 85, 170, 255};
const std::vector<int> Levels6 = {0, 51, 102, 153, 204, 255};
const std::vector<int> Levels7 = {0, 43, 85, 128, 170, 213, 255};
const std::vector<int> Levels8 = {0, 36, 73, 109, 146, 182, 219, 255};
const std::array<uint8_t, 256> Nearest4 = NearestLevels(Levels4);
const std::array<uint8_t, 256> Nearest6 = NearestLevels(Levels6);
const std::array<uint8_t, 256> Nearest7 = NearestLevels(Levels7);
const std::array<uint8_t, 256> Nearest8 = NearestLevels(Levels8);

void ReduceHistogram(const Dib& source, Dib& dib) {
    constexpr int Slots = 5191;
    constexpr int MaxColors = 2049;
    struct Slot {
        bool Used = false;
        uint8_t Red = 0, Green = 0, Blue = 0;
        uint32_t Count = 0;
        int Order = 0;
        int Index = 0;
    };
    std::array<int, 3> masks = {0xFF, 0xFF, 0xFF};  // red, green, blue
    std::vector<Slot> table;
    auto slotOf = [&](int red, int green, int blue) {
        int slot = (red + green) * (blue + green) * (red + blue) % Slots;
        while (table[slot].Used && (table[slot].Red != red || table[slot].Green != green || table[slot].Blue != blue)) {
            slot = slot + 1 == Slots ? 0 : slot + 1;
        }
        return slot;
    };
    int distinct = 0;
    for (bool counted = false; !counted;) {
        table.assign(Slots, Slot{});
        distinct = 0;
        counted = true;
        for (int y = 0; y < source.Height && counted; ++y) {
            const uint8_t* row = source.Row(y);
            for (int x = 0; x < source.Width; ++x) {
                const uint8_t* pixel = row + size_t{3} * x;
                const int red = pixel[2] & masks[0];
                const int green = pixel[1] & masks[1];
                const int blue = pixel[0] & masks[2];
                Slot& slot = table[slotOf(red, green, blue)];
                if (!slot.Used) {
                    if (distinct == MaxColors) {
                        counted = false;
                        break;
                    }
                    slot = {true,
                            static_cast<uint8_t>(red),
                            static_cast<uint8_t>(green),
                            static_cast<uint8_t>(blue),
                            0,
                            distinct++,
                            0};
                }
                ++slot.Count;
            }
        }
        if (!counted) {
            // Too many colours: drop one more low bit of one channel and count again.
            int& coarsen = masks[0] < masks[1] ? masks[1] : masks[2] < masks[0] ? masks[0] : masks[2];
            coarsen = (coarsen << 1) & 0xFF;
        }
    }
    std::vector<Slot*> colors;
    for (auto& slot : table) {
        if (slot.Used) {
            colors.push_back(&slot);
        }
    }
    std::sort(colors.begin(), colors.end(), [](const Slot* a, const Slot* b) {
        return a->Count != b->Count ? a->Count > b->Count : a->Order < b->Order;
    });
    const size_t taken = std::min<size_t>(colors.size(), 256);
    std::fill(dib.Palette.begin(), dib.Palette.end(), Entry(128, 128, 128));
    for (size_t i = 0; i < colors.size(); ++i) {
        Slot& slot = *colors[i];
        if (i < taken) {
            dib.Palette[i] = Entry(slot.Red, slot.Green, slot.Blue);
            slot.Index = static_cast<int>(i);
        } else {
            slot.Index = NearestEntry(dib.Palette, taken, slot.Red, slot.Green, slot.Blue);
        }
    }
    ForEachPixel(source, [&](int y, int x, int blue, int green, int red) {
        dib.SetIndex(y, x, table[slotOf(red & masks[0], green & masks[1], blue & masks[2])].Index);
    });
}

void ReduceMedianCut(const Dib& source, Dib& dib) {
    constexpr size_t Wanted = 256;
    std::vector<int64_t> cellCount(4096, 0);
    auto cellOf = [](int red, int green, int blue) { return ((red >> 4) << 8) | ((green >> 4) << 4) | (blue >> 4); };
    ForEachPixel(source, [&](int, int, int blue, int green, int red) { ++cellCount[cellOf(red, green, blue)]; });
    auto channelValue = [](int cell, int channel) { return (cell >> (8 - 4 * channel)) & 0x0F; };
    struct Box {
        std::vector<int> Cells;
        std::array<int, 3> Low{0, 0, 0};
        std::array<int, 3> Extent{255, 255, 255};
    };
    std::vector<Box> boxes(1);
    for (int cell = 0; cell < 4096; ++cell) {
        if (cellCount[cell] > 0) {
            boxes[0].Cells.push_back(cell);
        }
    }
    while (boxes.size() < Wanted) {
        int chosen = -1;
        int channel = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            for (int c = 0; c < 3 && boxes[b].Cells.size() > 1; ++c) {
                if (chosen < 0 || boxes[b].Extent[c] > boxes[chosen].Extent[channel]) {
                    chosen = static_cast<int>(b);
                    channel = c;
                }
            }
        }
        if (chosen < 0) {
            break;
        }
        Box& box = boxes[chosen];
        std::stable_sort(box.Cells.begin(), box.Cells.end(),
                         [&](int a, int b) { return channelValue(a, channel) < channelValue(b, channel); });
        const int64_t half = std::accumulate(box.Cells.begin(), box.Cells.end(), int64_t{0},
                                             [&](int64_t sum, int cell) { return sum + cellCount[cell]; }) /
                             2;
        size_t kept = 0;
        int64_t total = 0;
        while (kept + 1 < box.Cells.size() && total + cellCount[box.Cells[kept]] <= half) {
            total += cellCount[box.Cells[kept++]];
        }
        kept = std::max<size_t>(kept, 1);
        Box added;
        added.Cells.assign(box.Cells.begin() + static_cast<ptrdiff_t>(kept), box.Cells.end());
        box.Cells.resize(kept);
        added.Low = box.Low;
        added.Extent = box.Extent;
        const int upper = box.Low[channel] + box.Extent[channel];
        added.Low[channel] = 16 * channelValue(added.Cells.front(), channel);
        added.Extent[channel] = upper - added.Low[channel];
        box.Extent[channel] = 16 * channelValue(box.Cells.back(), channel) - box.Low[channel];
        boxes.push_back(std::move(added));
    }
    std::vector<int> boxOfCell(4096, 0);
    for (size_t b = 0; b < boxes.size(); ++b) {
        std::array<int, 3> sums{0, 0, 0};
        for (int cell : boxes[b].Cells) {
            boxOfCell[cell] = static_cast<int>(b);
            for (int c = 0; c < 3; ++c) {
                sums[c] += channelValue(cell, c);
            }
        }
        const int cells = std::max<int>(static_cast<int>(boxes[b].Cells.size()), 1);
        std::array<int, 3> color{};
        for (int c = 0; c < 3; ++c) {
            color[c] = (16 * sums[c] + 15) / cells;
        }
        if (color[0] <= 16 && color[1] <= 16 && color[2] <= 16) {
            color = {0, 0, 0};
        }
        dib.Palette[b] = Entry(color[0], color[1], color[2]);
    }
    ForEachPixel(source, [&](int y, int x, int blue, int green, int red) {
        dib.SetIndex(y, x, boxOfCell[cellOf(red, green, blue)]);
    });
    dib.ColorsUsed = static_cast<uint32_t>(boxes.size());
}

void ReduceFixed(const Dib& source, Dib& dib, bool sevenEightFour) {
    std::fill(dib.Palette.begin(), dib.Palette.end(), Entry(128, 128, 128, 128));
    const auto& redLevels = sevenEightFour ? Levels7 : Levels6;
    const auto& greenLevels = sevenEightFour ? Levels8 : Levels6;
    const auto& blueLevels = sevenEightFour ? Levels4 : Levels6;
    const int redStep = sevenEightFour ? 32 : 36;
    const int greenStep = sevenEightFour ? 4 : 6;
    for (size_t r = 0; r < redLevels.size(); ++r) {
        for (size_t g = 0; g < greenLevels.size(); ++g) {
            for (size_t b = 0; b < blueLevels.size(); ++b) {
                dib.Palette[r * redStep + g * greenStep + b] = Entry(redLevels[r], greenLevels[g], blueLevels[b]);
            }
        }
    }
    const auto& nearRed = sevenEightFour ? Nearest7 : Nearest6;
    const auto& nearGreen = sevenEightFour ? Nearest8 : Nearest6;
    const auto& nearBlue = sevenEightFour ? Nearest4 : Nearest6;
    ForEachPixel(source, [&](int y, int x, int blue, int green, int red) {
        dib.SetIndex(y, x, nearRed[red] * redStep + nearGreen[green] * greenStep + nearBlue[blue]);
    });
    dib.ColorsUsed = sevenEightFour ? 224 : 216;
}

void ReduceTriple(const Dib& source, Dib& dib) {
    for (int i = 0; i < 64; ++i) {
        dib.Palette[i] = Entry(4 * i, 0, 0);
        dib.Palette[64 + i] = Entry(0, 4 * i, 0);
        dib.Palette[128 + i] = Entry(0, 0, 4 * i);
    }
    ForEachPixel(source, [&](int y, int x, int blue, int green, int red) {
        const int channel = (x + y) % 3;
        dib.SetIndex(y, x, channel == 0 ? red / 4 : channel == 1 ? 64 + green / 4 : 128 + blue / 4);
    });
}

int Gray(int red, int green, int blue) { return (77 * red + 150 * green + 29 * blue) / 256; }

void ReduceGrayscale(const Dib& source, Dib& dib) {
    for (int i = 0; i < 256; ++i) {
        dib.Palette[i] = Entry(i, i, i);
    }
    ForEachPixel(source,
                 [&](int y, int x, int blue, int green, int red) { dib.SetIndex(y, x, Gray(red, green, blue)); });
}

Dib Reduce(const Dib& source, TReductionMethod method) {
    Dib dib(source.Width, source.Height, 8);
    switch (method) {
        case rmHistogram:
            ReduceHistogram(source, dib);
            break;
        case rmMedianCut:
            ReduceMedianCut(source, dib);
            break;
        case rmFixed7R8G4B:
        case rmFixed6R6G6B:
            ReduceFixed(source, dib, method == rmFixed7R8G4B);
            break;
        case rmTriple:
            ReduceTriple(source, dib);
            break;
        case rmGrayscale:
            ReduceGrayscale(source, dib);
            break;
    }
    return dib;
}

}  // namespace

int KitGraph::ScanlineBytes(int width, int bitsPerPixel, int alignment) {
    const int64_t bits = int64_t{width} * bitsPerPixel + alignment - 1;
    return static_cast<int>(bits / alignment * alignment / 8);
}

TPixelFormat KitGraph::BitmapPixelFormat(const QImage& bitmap) {
    if (bitmap.isNull()) {
        return pfDevice;
    }
    switch (bitmap.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            return pf1bit;
        case QImage::Format_Indexed8:
            return pf8bit;
        case QImage::Format_RGB555:
            return pf15bit;
        case QImage::Format_RGB16:
            return pf16bit;
        case QImage::Format_RGB888:
        case QImage::Format_BGR888:
            return pf24bit;
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return pf32bit;
        default:
            return pfCustom;
    }
}

QByteArray KitGraph::BitmapToDibStream(const QImage& bitmap, TPixelFormat pixelFormat, TReductionMethod method) {
    if (bitmap.isNull()) {
        throw EInvalidGraphicOperation("Bitmap image is not valid");
    }
    const TPixelFormat own = BitmapPixelFormat(bitmap);
    if (own == pixelFormat && method != rmGrayscale && (own == pf1bit || own == pf8bit)) {
        return Serialize(OwnIndexed(bitmap, own == pf1bit ? 1 : 8));
    }
    switch (pixelFormat) {
        case pf1bit:
        case pf4bit:
            return Serialize(RenderLowDepth(TrueColor(bitmap), pixelFormat == pf1bit ? 1 : 4));
        case pf8bit:
            return Serialize(Reduce(TrueColor(bitmap), method));
        case pf24bit: {
            // True colour as it is; the grey-scale method writes grey pixels.
            Dib dib = TrueColor(bitmap);
            if (method == rmGrayscale) {
                for (int y = 0; y < dib.Height; ++y) {
                    uint8_t* row = dib.Row(y);
                    for (int x = 0; x < dib.Width; ++x) {
                        uint8_t* pixel = row + size_t{3} * x;
                        std::fill_n(pixel, 3, static_cast<uint8_t>(Gray(pixel[2], pixel[1], pixel[0])));
                    }
                }
            }
            return Serialize(dib);
        }
        default:
            throw ENotImplemented();
    }
}

}  // namespace kit
