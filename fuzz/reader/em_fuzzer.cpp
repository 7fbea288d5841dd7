// Decodes captures built from arbitrary run lengths and checks every code the
// decoder returns: ten upper-case hexadecimal digits, never all zeros, and the
// code's whole frame (nine header ones, ten rows of four bits with an even
// parity bit, the column parities, a stop bit of 0), Manchester coded, stands
// in the capture from the middle of its first bit to the middle of its last.
//
// Input: byte 0 picks the threshold, every further byte is the length of the
// next run of equal level (0 counts as 256).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "reader/em_decoder.h"

namespace {

constexpr int Thresholds[] = {23, 21, 19, 25, 27};
constexpr uint8_t DoutMask = 0x02;
// The capture length of a reader.
constexpr std::size_t CaptureSamples = 8704;

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The 64 bits of the frame that carries Code (ten hexadecimal digits).
std::vector<int> FrameBits(const std::string& Code) {
    std::vector<int> bits(9, 1);
    int columns = 0;
    for (const char digit : Code) {
        const int nibble = HexValue(digit);
        columns ^= nibble;
        int parity = 0;
        for (int b = 3; b >= 0; --b) {
            bits.push_back((nibble >> b) & 1);
            parity ^= (nibble >> b) & 1;
        }
        bits.push_back(parity);
    }
    for (int b = 3; b >= 0; --b) {
        bits.push_back((columns >> b) & 1);
    }
    bits.push_back(0);
    return bits;
}

// The capture as half-bit levels: each run of one half-bit ('S') gives one
// level, each run of a whole bit ('L') two; runs that are neither break the
// sequence with a 2, which no frame holds. The first run, whose start was not
// seen, and the last, whose end was not seen, are left out.
std::vector<int> HalfBits(const std::vector<int>& Runs, int T) {
    std::vector<int> halves;
    for (std::size_t i = 1; i + 1 < Runs.size(); ++i) {
        const int level = static_cast<int>(i % 2);
        const char symbol = reader::TEmDecoder::RunSymbol(Runs[i], T);
        const int count = symbol == 'S' ? 1 : symbol == 'L' ? 2 : 0;
        if (count == 0) {
            halves.push_back(2);
        }
        halves.insert(halves.end(), count, level);
    }
    return halves;
}

// Whether the frame of Code, in either polarity, stands in Halves from the
// second half of its first bit to the first half of its last.
bool FrameInCapture(const std::string& Code, const std::vector<int>& Halves) {
    const std::vector<int> bits = FrameBits(Code);
    for (const int polarity : {0, 1}) {
        std::vector<int> expected;
        for (const int bit : bits) {
            expected.push_back(bit ^ polarity);
            expected.push_back(1 - (bit ^ polarity));
        }
        expected.erase(expected.begin());
        expected.pop_back();
        if (std::search(Halves.begin(), Halves.end(), expected.begin(), expected.end()) != Halves.end()) {
            return true;
        }
    }
    return false;
}

bool IsCode(const std::string& Code) {
    if (Code.size() != 10 || Code == "0000000000") {
        return false;
    }
    for (const char c : Code) {
        if (HexValue(c) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const int threshold = Thresholds[data[0] % std::size(Thresholds)];
    std::vector<uint8_t> samples;
    std::vector<int> runs;
    for (std::size_t i = 1; i < size && samples.size() < CaptureSamples; ++i) {
        const int run = data[i] == 0 ? 256 : data[i];
        const auto count = std::min<std::size_t>(static_cast<std::size_t>(run), CaptureSamples - samples.size());
        samples.insert(samples.end(), count, runs.size() % 2 == 0 ? 0 : DoutMask);
        runs.push_back(static_cast<int>(count));
    }

    reader::TEmDecoder decoder;
    std::string code;
    bool found = decoder.Classify(samples, DoutMask, threshold, code);
    const std::vector<int> halves = HalfBits(runs, threshold);
    while (found) {
        fuzz::Require(IsCode(code) && FrameInCapture(code, halves));
        found = decoder.Decode(code);
    }
    return 0;
}
