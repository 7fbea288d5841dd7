// Decodes arbitrary LZW data into planes of each depth; whatever decodes
// must survive an encode-decode round trip unchanged.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kit/gif/lzw_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const int width = 1 + data[0];
    const int height = 1 + data[1];
    const int tableBits = 1 + (data[2] & 7);
    const bool interlaced = (data[2] & 8) != 0;
    const int bits = tableBits == 1 ? 1 : tableBits <= 4 ? 4 : 8;
    const std::span<const uint8_t> encoded(data + 3, size - 3);

    const auto stride = static_cast<ptrdiff_t>(kit::DibStride(width, bits));
    std::vector<uint8_t> packed(static_cast<size_t>(stride) * height);
    // Bottom-up, as the kit's bitmaps are stored.
    const kit::PixelPlane plane{packed.data() + stride * (height - 1), -stride, width, height, bits};
    kit::LzwDecode(encoded, plane, interlaced, tableBits, true);

    std::vector<uint8_t> reencoded;
    kit::LzwEncode(reencoded, plane, bits == 1 ? 2 : bits);
    std::vector<uint8_t> again(packed.size());
    const kit::PixelPlane second{again.data() + stride * (height - 1), -stride, width, height, bits};
    if (kit::LzwDecode(reencoded, second, false, tableBits, false) || again != packed) {
        __builtin_trap();
    }
    return 0;
}
