#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <string>

namespace sim {

// How an EM card's signal looks on the reader chip's DOUT line, in samples of
// the bit-bang capture.
struct TEmSignalSettings {
    double SamplesPerBit = 32.0;
    double RateError = 0.0;    // relative error of the bit rate (0.05: bits 5 % longer)
    double DutySkew = 0.0;     // share of a bit added to its first half (-0.5 .. 0.5)
    double Jitter = 0.0;       // largest displacement of each edge, in samples
    double GlitchRate = 0.0;   // chance of one sample flipped, per sample
    double DropoutRate = 0.0;  // chance of a stretch held low, per stretch
    int DropoutLength = 64;    // samples per dropout stretch
    bool Inverted = false;
    double StartPhase = 0.0;  // bits of the frame already sent when the card arrives
    uint64_t Seed = 1;
};

// The 64 bits of an EM card frame for a code of 10 hex digits: nine header
// ones, ten rows of four data bits and even parity, four column parity bits,
// a stop bit of 0.
std::array<uint8_t, 64> EmFrame(const std::string& Code);

// The Manchester-coded card signal, repeating its frame without a break.
class TEmSignal {
public:
    TEmSignal(const std::string& Code, const TEmSignalSettings& Settings);

    // The line level at Sample samples after the card's arrival.
    bool Level(int64_t Sample) const;

private:
    bool BitValue(int64_t Bit) const;
    // An edge's time in samples, displaced by its own jitter.
    double EdgeTime(int64_t Bit, bool Middle) const;
    double Noise(uint64_t Kind, uint64_t Index) const;

    std::array<uint8_t, 64> FFrame;
    TEmSignalSettings FSettings;
    double FBitLength;
};

// Fills Samples with the signal from the card's arrival on: DOUT on DoutMask,
// OtherPins held as they are.
void EmCapture(const TEmSignal& Signal, std::span<uint8_t> Samples, uint8_t DoutMask, uint8_t OtherPins);

// A card code of 10 random hex digits.
std::string RandomEmCode(std::mt19937_64& Random);

}  // namespace sim
