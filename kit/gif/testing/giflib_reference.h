#pragma once

// giflib as a reference for the tests and the benchmark (never for the kit):
// decoding and encoding whole GIFs in memory.

#include <cstdint>
#include <vector>

#include "kit/gif/testing/gif_samples.h"

namespace kit::testing {

// Each frame's indices, top row first, as giflib decodes them; empty on failure.
std::vector<std::vector<uint8_t>> GiflibDecode(const std::vector<uint8_t>& gif);

// The sample written by giflib's encoder with one global table of
// 2^GlobalTableBits entries (local tables and code sizes are giflib's own).
std::vector<uint8_t> GiflibEncode(const SampleGif& sample);

// Each frame's indices as our core decodes them.
std::vector<std::vector<uint8_t>> CoreDecode(const std::vector<uint8_t>& gif);

// The frames' pixels of a sample.
std::vector<std::vector<uint8_t>> SamplePixels(const SampleGif& sample);

}  // namespace kit::testing
