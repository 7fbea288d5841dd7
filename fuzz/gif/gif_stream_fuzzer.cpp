// Reads a GIF, decodes every frame, writes it, reads the result and writes it
// again: both writes must be equal.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kit/gif/gif_format.h"
#include "kit/gif/lzw_codec.h"

namespace {

// Frames above this many pixels are not decoded: they only slow the search down.
constexpr int64_t DecodeLimit = int64_t{1} << 22;

void DecodeFrames(const kit::GifFile& file) {
    for (const auto& parsed : file.Frames) {
        const auto& item = parsed.Item;
        if (static_cast<int64_t>(item.Width) * item.Height > DecodeLimit) {
            continue;
        }
        const int bits = item.TableBits <= 1 ? 1 : item.TableBits <= 4 ? 4 : 8;
        const int64_t stride = kit::DibStride(item.Width, bits);
        std::vector<uint8_t> pixels(static_cast<size_t>(stride * item.Height));
        const kit::PixelPlane plane{pixels.data(), static_cast<ptrdiff_t>(stride), item.Width, item.Height, bits};
        kit::LzwDecode(item.EncodedData, plane, parsed.Frame.IsInterlaced, item.TableBits, true);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kit::GifFile file;
    try {
        kit::ParseGifBytes({data, size}, file, true);
    } catch (const kit::EGifError&) {
        return 0;
    }
    DecodeFrames(file);
    if (file.Frames.empty()) {
        return 0;
    }
    std::vector<uint8_t> written;
    try {
        written = kit::EmitGifBytes(file);
    } catch (const kit::EGifError&) {
        return 0;  // a global table whose size is not a power of two cannot occur here
    }
    kit::GifFile again;
    kit::ParseGifBytes(written, again, false);
    if (kit::EmitGifBytes(again) != written) {
        __builtin_trap();
    }
    return 0;
}
