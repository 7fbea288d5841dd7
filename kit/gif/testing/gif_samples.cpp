#include "kit/gif/testing/gif_samples.h"

#include <random>

#include "kit/gif/gif_format.h"
#include "kit/gif/lzw_codec.h"

namespace kit::testing {

std::vector<uint8_t> MakePixels(int width, int height, int limit, Pattern pattern, uint32_t seed) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int value = 0;
            switch (pattern) {
                case Pattern::Noise:
                    value = static_cast<int>(random() % static_cast<uint32_t>(limit));
                    break;
                case Pattern::Stripes:
                    value = ((x / 3) + (y / 2)) % limit;
                    break;
                case Pattern::Gradient:
                    value = (x + y) * limit / (width + height);
                    break;
                case Pattern::Constant:
                    value = limit - 1;
                    break;
            }
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(value);
        }
    }
    return pixels;
}

void SampleColor(int index, uint8_t& red, uint8_t& green, uint8_t& blue) {
    red = static_cast<uint8_t>(index);
    green = static_cast<uint8_t>(255 - index);
    blue = static_cast<uint8_t>(index * 7);
}

namespace {

GifColorTable SampleTable(int bits) {
    GifColorTable table;
    table.Count = 1 << bits;
    for (int i = 0; i < table.Count; ++i) {
        uint8_t* entry = &table.Entries[size_t{3} * i];
        SampleColor(i, entry[0], entry[1], entry[2]);
    }
    return table;
}

// The rows in the order a stream stores them: plain, or the four interlace passes.
std::vector<uint8_t> StreamOrder(const SampleFrame& frame) {
    if (!frame.Interlaced) {
        return frame.Pixels;
    }
    std::vector<uint8_t> ordered;
    ordered.reserve(frame.Pixels.size());
    const int starts[] = {0, 4, 2, 1};
    const int steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int row = starts[pass]; row < frame.Height; row += steps[pass]) {
            auto begin = frame.Pixels.begin() + static_cast<ptrdiff_t>(row) * frame.Width;
            ordered.insert(ordered.end(), begin, begin + frame.Width);
        }
    }
    return ordered;
}

}  // namespace

std::vector<uint8_t> BuildSampleGif(const SampleGif& gif) {
    GifFile file;
    GifScreen& screen = file.Screen;
    screen.FormatVersion = 2;
    screen.LogicalWidth = static_cast<uint16_t>(gif.Width);
    screen.LogicalHeight = static_cast<uint16_t>(gif.Height);
    if (gif.GlobalTableBits > 0) {
        screen.TableBits = static_cast<uint8_t>(gif.GlobalTableBits);
        screen.ColorTable = SampleTable(gif.GlobalTableBits);
    }
    screen.LoopEnabled = gif.LoopCount >= 0;
    screen.LoopCount = static_cast<uint16_t>(std::max(gif.LoopCount, 0));
    if (!gif.Comment.empty()) {
        screen.CommentLines.push_back(gif.Comment);
    }
    for (const auto& sample : gif.Frames) {
        GifParsedFrame parsed;
        GifItemData& item = parsed.Item;
        GifFrameData& frame = parsed.Frame;
        item.Width = sample.Width;
        item.Height = sample.Height;
        frame.Left = sample.Left;
        frame.Top = sample.Top;
        frame.IsInterlaced = sample.Interlaced;
        frame.OwnColorTable = sample.LocalTableBits > 0;
        item.ColorTable = frame.OwnColorTable ? SampleTable(sample.LocalTableBits) : screen.ColorTable;
        auto ordered = StreamOrder(sample);
        const PixelPlane plane{ordered.data(), sample.Width, sample.Width, sample.Height, 8};
        LzwEncode(item.EncodedData, plane, sample.CodeSize);
        if (sample.DelayCs >= 0) {
            frame.DelayMs = static_cast<uint32_t>(sample.DelayCs) * 10;
            if (sample.Transparent >= 0) {
                frame.TransparentIndex = sample.Transparent;
                frame.TransparentKey = item.ColorTable.ColorAt(sample.Transparent);
            }
            TExtension control;
            control.FixedPart[0] = 4;
            frame.Extensions.push_back(control);
            SyncControlExtension(frame, item.ColorTable);
        }
        file.Frames.push_back(std::move(parsed));
    }
    return EmitGifBytes(file);
}

std::vector<SampleGif> SampleCorpus(uint32_t seed) {
    std::mt19937 random(seed);
    auto frame = [&](int width, int height, int tableBits, int codeSize, Pattern pattern) {
        SampleFrame sample;
        sample.Width = width;
        sample.Height = height;
        sample.CodeSize = codeSize;
        sample.Pixels = MakePixels(width, height, std::min(1 << tableBits, 1 << codeSize), pattern, random());
        return sample;
    };
    std::vector<SampleGif> corpus;
    for (int bits : {1, 4, 8}) {
        SampleGif gif{"plain" + std::to_string(bits), 37, 23, bits, -1, {}, {}};
        gif.Frames.push_back(frame(37, 23, bits, std::max(bits, 2), Pattern::Noise));
        corpus.push_back(gif);
    }
    {
        SampleGif gif{"interlaced", 40, 29, 8, -1, {}, {}};
        auto sample = frame(40, 29, 8, 8, Pattern::Gradient);
        sample.Interlaced = true;
        gif.Frames.push_back(sample);
        corpus.push_back(gif);
    }
    {
        SampleGif gif{"smallcodes", 64, 16, 8, -1, {}, {}};
        gif.Frames.push_back(frame(64, 16, 8, 2, Pattern::Noise));
        gif.Frames.push_back(frame(64, 16, 8, 5, Pattern::Stripes));
        corpus.push_back(gif);
    }
    {
        SampleGif gif{"clears", 300, 200, 8, -1, {}, {}};
        gif.Frames.push_back(frame(300, 200, 8, 8, Pattern::Noise));
        corpus.push_back(gif);
    }
    {
        SampleGif gif{"frames", 50, 30, 4, 0, "made by the tests", {}};
        for (int i = 0; i < 4; ++i) {
            auto sample = frame(20 + i * 5, 10 + i * 3, 4, 4, i % 2 ? Pattern::Noise : Pattern::Stripes);
            sample.Left = i * 5;
            sample.Top = i * 2;
            sample.DelayCs = 5 + i;
            sample.Transparent = i;
            sample.Interlaced = i == 2;
            if (i == 3) {
                sample.LocalTableBits = 2;
                sample.CodeSize = 2;
                sample.Pixels = MakePixels(sample.Width, sample.Height, 4, Pattern::Noise, random());
            }
            gif.Frames.push_back(sample);
        }
        corpus.push_back(gif);
    }
    {
        SampleGif gif{"tiny", 1, 1, 1, -1, {}, {}};
        gif.Frames.push_back(frame(1, 1, 1, 2, Pattern::Constant));
        corpus.push_back(gif);
    }
    return corpus;
}

SampleGif BusyStripSample() {
    SampleGif gif{"busystrip", 600, 1, 8, 1000, "busy strip", {}};
    for (int i = 0; i < 11; ++i) {
        SampleFrame sample;
        sample.Width = 600;
        sample.Height = 1;
        sample.DelayCs = 6;
        sample.Pixels.resize(600);
        for (int x = 0; x < 600; ++x) {
            sample.Pixels[x] = static_cast<uint8_t>(((x + i * 55) / 20) % 2 ? 200 + (x % 40) : 10 + (x % 30));
        }
        gif.Frames.push_back(sample);
    }
    return gif;
}

}  // namespace kit::testing
