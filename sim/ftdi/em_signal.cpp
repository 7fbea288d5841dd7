#include "em_signal.h"

#include <charconv>
#include <cmath>

namespace sim {

namespace {

int HexValue(char c) {
    int value = 0;
    std::from_chars(&c, &c + 1, value, 16);
    return value;
}

// A well-mixed 64-bit hash (splitmix64 finaliser).
uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

}  // namespace

std::array<uint8_t, 64> EmFrame(const std::string& Code) {
    std::array<uint8_t, 64> frame{};
    std::size_t at = 0;
    for (int i = 0; i < 9; ++i) {
        frame[at++] = 1;
    }
    int column = 0;
    for (std::size_t row = 0; row < 10; ++row) {
        const int nibble = row < Code.size() ? HexValue(Code[row]) : 0;
        column ^= nibble;
        int parity = 0;
        for (int bit = 3; bit >= 0; --bit) {
            const int value = (nibble >> bit) & 1;
            parity ^= value;
            frame[at++] = static_cast<uint8_t>(value);
        }
        frame[at++] = static_cast<uint8_t>(parity);
    }
    for (int bit = 3; bit >= 0; --bit) {
        frame[at++] = static_cast<uint8_t>((column >> bit) & 1);
    }
    frame[at] = 0;
    return frame;
}

TEmSignal::TEmSignal(const std::string& Code, const TEmSignalSettings& Settings)
    : FFrame(EmFrame(Code)), FSettings(Settings), FBitLength(Settings.SamplesPerBit * (1.0 + Settings.RateError)) {}

double TEmSignal::Noise(uint64_t Kind, uint64_t Index) const {
    const uint64_t h = Mix(FSettings.Seed ^ Mix(Kind * 0x100000001B3ULL + Index));
    return static_cast<double>(h >> 11) / 9007199254740992.0;  // [0, 1)
}

bool TEmSignal::BitValue(int64_t Bit) const {
    const int64_t at = ((Bit % 64) + 64) % 64;
    return FFrame[static_cast<std::size_t>(at)] != 0;
}

double TEmSignal::EdgeTime(int64_t Bit, bool Middle) const {
    const double nominal = (static_cast<double>(Bit) + (Middle ? 0.5 + FSettings.DutySkew : 0.0)) * FBitLength;
    if (FSettings.Jitter <= 0.0) {
        return nominal;
    }
    const auto edge = static_cast<uint64_t>(2 * Bit + (Middle ? 1 : 0));
    return nominal + (2.0 * Noise(1, edge) - 1.0) * FSettings.Jitter;
}

bool TEmSignal::Level(int64_t Sample) const {
    const auto index = static_cast<uint64_t>(Sample);
    if (FSettings.DropoutRate > 0.0 && FSettings.DropoutLength > 0 &&
        Noise(2, index / static_cast<uint64_t>(FSettings.DropoutLength)) < FSettings.DropoutRate) {
        return FSettings.Inverted;
    }
    // Position in the frame stream, the card having started at StartPhase.
    const double x = static_cast<double>(Sample) + 0.5 + FSettings.StartPhase * FBitLength;
    int64_t bit = static_cast<int64_t>(std::floor(x / FBitLength));
    bool level = false;
    if (x < EdgeTime(bit, false)) {
        level = !BitValue(bit - 1);  // still the second half of the bit before
    } else if (x >= EdgeTime(bit + 1, false)) {
        level = BitValue(bit + 1);  // already the first half of the next bit
    } else {
        level = x < EdgeTime(bit, true) ? BitValue(bit) : !BitValue(bit);
    }
    if (FSettings.GlitchRate > 0.0 && Noise(3, index) < FSettings.GlitchRate) {
        level = !level;
    }
    return level != FSettings.Inverted;
}

void EmCapture(const TEmSignal& Signal, std::span<uint8_t> Samples, uint8_t DoutMask, uint8_t OtherPins) {
    for (std::size_t i = 0; i < Samples.size(); ++i) {
        Samples[i] = static_cast<uint8_t>(OtherPins | (Signal.Level(static_cast<int64_t>(i)) ? DoutMask : 0));
    }
}

std::string RandomEmCode(std::mt19937_64& Random) {
    std::uniform_int_distribution<int> digit(0, 15);
    std::string code;
    for (int d = 0; d < 10; ++d) {
        code += "0123456789ABCDEF"[digit(Random)];
    }
    return code;
}

}  // namespace sim
