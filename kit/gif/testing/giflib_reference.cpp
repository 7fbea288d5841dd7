#include "kit/gif/testing/giflib_reference.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "kit/gif/gif_format.h"
#include "kit/gif/lzw_codec.h"

namespace kit::testing {

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
    auto* out = static_cast<Bytes*>(file->UserData);
    out->insert(out->end(), buffer, buffer + count);
    return count;
}

}  // namespace

std::vector<Bytes> GiflibDecode(const Bytes& gif) {
    Cursor cursor{&gif, 0};
    int error = 0;
    GifFileType* file = DGifOpen(&cursor, ReadFromMemory, &error);
    if (!file) {
        return {};
    }
    std::vector<Bytes> frames;
    if (DGifSlurp(file) == GIF_OK) {
        for (int i = 0; i < file->ImageCount; ++i) {
            const SavedImage& image = file->SavedImages[i];
            const size_t size = static_cast<size_t>(image.ImageDesc.Width) * image.ImageDesc.Height;
            frames.emplace_back(image.RasterBits, image.RasterBits + size);
        }
    }
    DGifCloseFile(file, &error);
    return frames;
}

Bytes GiflibEncode(const SampleGif& sample) {
    Bytes out;
    int error = 0;
    GifFileType* file = EGifOpen(&out, WriteToMemory, &error);
    const int bits = sample.GlobalTableBits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    for (int i = 0; i < (1 << bits); ++i) {
        SampleColor(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    bool ok = EGifPutScreenDesc(file, sample.Width, sample.Height, bits, 0, map) == GIF_OK;
    for (const auto& frame : sample.Frames) {
        ok = ok && EGifPutImageDesc(file, frame.Left, frame.Top, frame.Width, frame.Height, frame.Interlaced,
                                    nullptr) == GIF_OK;
        const int passes = frame.Interlaced ? 4 : 1;
        const int starts[] = {0, 4, 2, 1};
        const int steps[] = {8, 8, 4, 2};
        for (int pass = 0; pass < passes && ok; ++pass) {
            const int start = frame.Interlaced ? starts[pass] : 0;
            const int step = frame.Interlaced ? steps[pass] : 1;
            for (int row = start; row < frame.Height && ok; row += step) {
                auto* line = const_cast<GifPixelType*>(frame.Pixels.data() + static_cast<size_t>(row) * frame.Width);
                ok = EGifPutLine(file, line, frame.Width) == GIF_OK;
            }
        }
    }
    EGifCloseFile(file, &error);
    GifFreeMapObject(map);
    return ok ? out : Bytes{};
}

std::vector<Bytes> CoreDecode(const Bytes& gif) {
    GifFile file;
    ParseGifBytes(gif, file, false);
    std::vector<Bytes> frames;
    for (const auto& parsed : file.Frames) {
        const auto& item = parsed.Item;
        Bytes pixels(static_cast<size_t>(item.Width) * item.Height);
        const PixelPlane plane{pixels.data(), item.Width, item.Width, item.Height, 8};
        LzwDecode(item.EncodedData, plane, parsed.Frame.IsInterlaced, item.TableBits, false);
        frames.push_back(std::move(pixels));
    }
    return frames;
}

std::vector<Bytes> SamplePixels(const SampleGif& sample) {
    std::vector<Bytes> frames;
    for (const auto& frame : sample.Frames) {
        frames.push_back(frame.Pixels);
    }
    return frames;
}

}  // namespace kit::testing
