#pragma once

// The GIF variable-length-code LZW codec over byte spans, with no Qt: decoding
// into and encoding from a plane of 1, 4 or 8 bits per pixel.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "kit/gif/gif_format.h"

namespace kit {

// A plane of pixels: row r starts at Row0 + r * Stride (a negative stride
// walks a bottom-up image). Pixels of 1 bit are packed from bit 7, of 4 bits
// high nibble first.
struct PixelPlane {
    uint8_t* Row0 = nullptr;
    ptrdiff_t Stride = 0;
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 8;
};

// Row stride of a BMP image: whole 32-bit words.
inline int64_t DibStride(int64_t width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

// Decodes encoded (code size byte, sub-blocks) into target; pixel values are
// masked to tableBits. Returns true when the data were damaged (bad code size,
// data ending before the image is full, broken code chains); with tolerant
// false those raise instead. Pixels past the plane are dropped.
bool LzwDecode(std::span<const uint8_t> encoded, const PixelPlane& target, bool interlaced, int tableBits,
               bool tolerant, const GifProgress& progress = {});

// Encodes source, rows top to bottom, with the given code size byte (2..8;
// every pixel must be below 2^codeSize), appending code size byte, sub-blocks
// and terminator to out.
void LzwEncode(std::vector<uint8_t>& out, const PixelPlane& source, int codeSize, const GifProgress& progress = {});

}  // namespace kit
