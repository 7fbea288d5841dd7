#pragma once

namespace reader::testing {

// Codes whose inverted signal is another card's signal. Inverting a
// Manchester signal complements its bits; for the complement of First's
// 64-bit stream, started Shift bits in, to be a valid frame (Second), it must
// hold nine ones after a zero at that point and pass every parity and the
// stop bit. These conditions are affine in the 40 code bits, so for each
// shift the codes that meet them form an affine space: it is empty except at
// the shifts 16, 22, 28, 36, 42 and 48, where it holds 2^20 codes (one code in
// 174,763 overall). The partner of a code at Shift lies at 64 - Shift, so
// these pairs cover every shift.
struct TEmInvertedPair {
    const char* First;
    const char* Second;
    int Shift;
};

inline constexpr TEmInvertedPair EmInvertedPairs[] = {
    {"5808080900", "EC05B7B7B7", 48}, {"EC04808080", "6EFEFEF300", 16}, {"E8080C0480", "6EF3004DED", 36},
    {"D63ACC03B2", "98AF009726", 36}, {"21A0040404", "FDFDFCA03B", 22},
};

}  // namespace reader::testing
