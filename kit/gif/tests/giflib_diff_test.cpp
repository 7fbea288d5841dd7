// Our codec against giflib: both decode the same files to the same indices,
// and each decodes what the other encoded.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "kit/gif/gif_format.h"
#include "kit/gif/lzw_codec.h"
#include "kit/gif/testing/gif_samples.h"

namespace kit {
namespace {

using Bytes = std::vector<uint8_t>;

struct Cursor {
    const Bytes* Data;
    size_t Position;
};

int ReadFromMemory(GifFileType* file, GifByteType* buffer, int count) {
    auto* cursor = static_cast<Cursor*>(file->UserData);
    const size_t available = std::min<size_t>(static_cast<size_t>(count), cursor->Data->size() - cursor->Position);
    std::memcpy(buffer, cursor->Data->data() + cursor->Position, available);
    cursor->Position += available;
    return static_cast<int>(available);
}

int WriteToMemory(GifFileType* file, const GifByteType* buffer, int count) {
    static_cast<Bytes*>(file->UserData)->insert(static_cast<Bytes*>(file->UserData)->end(), buffer, buffer + count);
    return count;
}

// Each frame's indices, top row first, as giflib decodes them.
std::vector<Bytes> GiflibDecode(const Bytes& gif) {
    Cursor cursor{&gif, 0};
    int error = 0;
    GifFileType* file = DGifOpen(&cursor, ReadFromMemory, &error);
    EXPECT_NE(file, nullptr) << GifErrorString(error);
    if (!file) {
        return {};
    }
    EXPECT_EQ(DGifSlurp(file), GIF_OK) << GifErrorString(file->Error);
    std::vector<Bytes> frames;
    for (int i = 0; i < file->ImageCount; ++i) {
        const SavedImage& image = file->SavedImages[i];
        const size_t size = static_cast<size_t>(image.ImageDesc.Width) * image.ImageDesc.Height;
        frames.emplace_back(image.RasterBits, image.RasterBits + size);
    }
    DGifCloseFile(file, &error);
    return frames;
}

std::vector<Bytes> OurDecode(const Bytes& gif) {
    GifFile file;
    ParseGifBytes(gif, file, false);
    std::vector<Bytes> frames;
    for (const auto& parsed : file.Frames) {
        const auto& item = parsed.Item;
        Bytes pixels(static_cast<size_t>(item.Width) * item.Height);
        const PixelPlane plane{pixels.data(), item.Width, item.Width, item.Height, 8};
        EXPECT_FALSE(LzwDecode(item.EncodedData, plane, parsed.Frame.IsInterlaced, item.TableBits, false));
        frames.push_back(std::move(pixels));
    }
    return frames;
}

// The sample written by giflib's encoder (one global table of 2^bits entries).
Bytes GiflibEncode(const testing::SampleGif& sample) {
    Bytes out;
    int error = 0;
    GifFileType* file = EGifOpen(&out, WriteToMemory, &error);
    const int bits = sample.GlobalTableBits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    for (int i = 0; i < (1 << bits); ++i) {
        testing::SampleColor(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    EXPECT_EQ(EGifPutScreenDesc(file, sample.Width, sample.Height, bits, 0, map), GIF_OK);
    for (const auto& frame : sample.Frames) {
        EXPECT_EQ(EGifPutImageDesc(file, frame.Left, frame.Top, frame.Width, frame.Height, frame.Interlaced, nullptr),
                  GIF_OK);
        std::vector<int> rows;
        const int starts[] = {0, 4, 2, 1};
        const int steps[] = {8, 8, 4, 2};
        for (int pass = 0; pass < (frame.Interlaced ? 4 : 1); ++pass) {
            for (int row = frame.Interlaced ? starts[pass] : 0; row < frame.Height; row += frame.Interlaced ? steps[pass] : 1) {
                rows.push_back(row);
            }
        }
        for (int row : rows) {
            auto* line = const_cast<GifPixelType*>(frame.Pixels.data() + static_cast<size_t>(row) * frame.Width);
            EXPECT_EQ(EGifPutLine(file, line, frame.Width), GIF_OK);
        }
    }
    EGifCloseFile(file, &error);
    GifFreeMapObject(map);
    return out;
}

std::vector<testing::SampleGif> Corpus() {
    std::vector<testing::SampleGif> corpus;
    for (uint32_t seed : {1u, 2u, 3u}) {
        auto part = testing::SampleCorpus(seed);
        corpus.insert(corpus.end(), part.begin(), part.end());
    }
    corpus.push_back(testing::BusyStripSample());
    return corpus;
}

std::vector<Bytes> SamplePixels(const testing::SampleGif& sample) {
    std::vector<Bytes> frames;
    for (const auto& frame : sample.Frames) {
        frames.push_back(frame.Pixels);
    }
    return frames;
}

TEST(GiflibDifferential, BothDecodeOurFilesToTheSameIndices) {
    for (const auto& sample : Corpus()) {
        const Bytes gif = testing::BuildSampleGif(sample);
        const auto ours = OurDecode(gif);
        EXPECT_EQ(ours, GiflibDecode(gif)) << sample.Name;
        EXPECT_EQ(ours, SamplePixels(sample)) << sample.Name;
    }
}

TEST(GiflibDifferential, WeDecodeWhatGiflibEncodes) {
    for (auto sample : Corpus()) {
        // giflib encodes with the table's code size and one table.
        bool fits = sample.GlobalTableBits > 0;
        for (const auto& frame : sample.Frames) {
            fits = fits && frame.LocalTableBits == 0 && frame.CodeSize == std::max(sample.GlobalTableBits, 2);
        }
        if (!fits) {
            continue;
        }
        const Bytes gif = GiflibEncode(sample);
        EXPECT_EQ(OurDecode(gif), SamplePixels(sample)) << sample.Name;
    }
}

TEST(GiflibDifferential, GiflibDecodesOurEncoderOnRandomImages) {
    std::mt19937 random(77);
    for (int round = 0; round < 30; ++round) {
        testing::SampleFrame frame;
        frame.Width = 1 + static_cast<int>(random() % 300);
        frame.Height = 1 + static_cast<int>(random() % 100);
        const int bits = 1 + static_cast<int>(random() % 8);
        frame.CodeSize = std::max(bits, 2);
        frame.Interlaced = random() % 2 == 0;
        frame.Pixels = testing::MakePixels(frame.Width, frame.Height, 1 << bits,
                                           static_cast<testing::Pattern>(random() % 4), random());
        const testing::SampleGif sample{"random", frame.Width, frame.Height, bits, -1, {}, {frame}};
        const Bytes gif = testing::BuildSampleGif(sample);
        EXPECT_EQ(GiflibDecode(gif), SamplePixels(sample)) << frame.Width << "x" << frame.Height << " bits " << bits;
    }
}

}  // namespace
}  // namespace kit
