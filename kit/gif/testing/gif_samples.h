#pragma once

// Generated GIF files for the tests, the benchmark and the fuzzers' seeds:
// every sample is built from plain pixel indices, so a decoder's output can
// be compared with the pixels that went in.

#include <cstdint>
#include <string>
#include <vector>

namespace kit::testing {

struct SampleFrame {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Interlaced = false;
    int CodeSize = 8;        // LZW code size byte; pixels stay below 2^CodeSize
    int LocalTableBits = 0;  // 0: the frame uses the global table
    int DelayCs = -1;        // -1: no graphic control extension
    int Transparent = -1;
    std::vector<uint8_t> Pixels;  // Width x Height indices, top row first
};

struct SampleGif {
    std::string Name;
    int Width = 0;
    int Height = 0;
    int GlobalTableBits = 8;  // 0: no global table
    int LoopCount = -1;       // -1: no loop block
    std::string Comment;
    std::vector<SampleFrame> Frames;
};

enum class Pattern { Noise, Stripes, Gradient, Constant };

// Width x Height indices below limit; Noise is seeded, the others are regular.
std::vector<uint8_t> MakePixels(int width, int height, int limit, Pattern pattern, uint32_t seed);

// The colour of table entry i in every generated table (all distinct).
void SampleColor(int index, uint8_t& red, uint8_t& green, uint8_t& blue);

std::vector<uint8_t> BuildSampleGif(const SampleGif& gif);

// A spread of files: 1/4/8-bit tables, interlaced, several frames, code sizes
// below the table's bits, images long enough to clear the string table.
std::vector<SampleGif> SampleCorpus(uint32_t seed);

// An animation like the tool's busy strip: 11 frames on a 600 x 1 screen,
// 256-colour global table, loop count 1000, 60 ms per frame, trailing comment.
SampleGif BusyStripSample();

}  // namespace kit::testing
