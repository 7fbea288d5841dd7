#include "reader/em_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "reader/ftdi_htrc.h"
#include "reader/tests/em_inverted_pairs.h"
#include "sim/ftdi/em_signal.h"

namespace reader {
namespace {

constexpr uint8_t DoutMask = 0x02;

// Samples of DOUT from a card signal, other pins held high as when reading.
std::vector<uint8_t> Capture(const sim::TEmSignal& Signal, int Count = HtrcCaptureLength) {
    std::vector<uint8_t> samples(static_cast<std::size_t>(Count));
    sim::EmCapture(Signal, samples, DoutMask, 0x05);
    return samples;
}

std::vector<uint8_t> Capture(const std::string& Code, const sim::TEmSignalSettings& Settings = {},
                             int Count = HtrcCaptureLength) {
    return Capture(sim::TEmSignal(Code, Settings), Count);
}

// Manchester samples of the given bits, SamplesPerHalf per half bit.
std::vector<uint8_t> Manchester(const std::vector<uint8_t>& Bits, int Repeats, int SamplesPerHalf = 16) {
    std::vector<uint8_t> samples(3, 0);
    for (int r = 0; r < Repeats; ++r) {
        for (const uint8_t bit : Bits) {
            samples.insert(samples.end(), static_cast<std::size_t>(SamplesPerHalf), bit != 0 ? DoutMask : 0);
            samples.insert(samples.end(), static_cast<std::size_t>(SamplesPerHalf), bit != 0 ? 0 : DoutMask);
        }
    }
    return samples;
}

std::vector<uint8_t> FrameBits(const std::string& Code) {
    const auto frame = sim::EmFrame(Code);
    return {frame.begin(), frame.end()};
}

// Tries the thresholds in the reader's order, as one capture of a read does.
bool DecodeLikeTheReader(const std::vector<uint8_t>& Samples, std::string& Code,
                         TEmPolarity ReaderPolarity = TEmPolarity::Unknown) {
    TEmDecoder decoder;
    decoder.SetReaderPolarity(ReaderPolarity);
    for (const int t : HtrcThresholds) {
        if (decoder.Classify(Samples, DoutMask, t, Code)) {
            return true;
        }
    }
    return false;
}

TEST(EmDecoder, RunLengthBoundariesOfEveryThreshold) {
    struct Case {
        int T, LastGlitch, LastHalf, LastWhole;
    };
    const Case cases[] = {{23, 4, 23, 69}, {21, 4, 21, 63}, {19, 3, 19, 57}, {25, 5, 25, 75}, {27, 5, 27, 81}};
    for (const auto& c : cases) {
        EXPECT_EQ(TEmDecoder::RunSymbol(0, c.T), 'e') << c.T;
        EXPECT_EQ(TEmDecoder::RunSymbol(c.LastGlitch, c.T), 'e') << c.T;
        EXPECT_EQ(TEmDecoder::RunSymbol(c.LastGlitch + 1, c.T), 'S') << c.T;
        EXPECT_EQ(TEmDecoder::RunSymbol(c.LastHalf, c.T), 'S') << c.T;
        EXPECT_EQ(TEmDecoder::RunSymbol(c.LastHalf + 1, c.T), 'L') << c.T;
        EXPECT_EQ(TEmDecoder::RunSymbol(c.LastWhole, c.T), 'L') << c.T;
        EXPECT_EQ(TEmDecoder::RunSymbol(c.LastWhole + 1, c.T), 'E') << c.T;
    }
}

TEST(EmDecoder, DecodesCleanSignalsAtEveryThresholdPhaseAndPolarity) {
    for (const int t : HtrcThresholds) {
        for (const bool inverted : {false, true}) {
            for (const double phase : {0.0, 5.5, 31.25, 63.9}) {
                sim::TEmSignalSettings settings;
                settings.Inverted = inverted;
                settings.StartPhase = phase;
                TEmDecoder decoder;
                std::string code;
                EXPECT_TRUE(decoder.Classify(Capture("A1B2C3D4E5", settings), DoutMask, t, code))
                    << t << inverted << phase;
                EXPECT_EQ(code, "A1B2C3D4E5");
                EXPECT_EQ(decoder.ProvenPolarity(), inverted ? TEmPolarity::Inverted : TEmPolarity::Normal);
            }
        }
    }
}

TEST(EmDecoder, RejectsWhatIsNotAWholeValidFrame) {
    std::vector<uint8_t> badRow = FrameBits("0123456789");
    badRow[9 + 5 * 3 + 4] ^= 1;  // row 3's parity bit: the column parity still fits
    std::vector<uint8_t> badStop = FrameBits("0123456789");
    badStop[63] = 1;
    std::vector<uint8_t> badColumn = FrameBits("0123456789");
    badColumn[60] ^= 1;
    const std::vector<uint8_t> flat(HtrcCaptureLength, 0x07);
    struct Case {
        const char* Name;
        std::vector<uint8_t> Samples;
    };
    const Case cases[] = {
        {"no card: one level throughout", flat},
        {"all-zero code", Manchester(FrameBits("0000000000"), 4)},
        {"row parity error", Manchester(badRow, 4)},
        {"column parity error", Manchester(badColumn, 4)},
        {"stop bit of 1", Manchester(badStop, 4)},
        // The header and most of one frame, cut by the end of the capture.
        {"frame cut by the end", Capture("0123456789", {}, 60 * 32)},
        {"empty capture", {}},
    };
    for (const auto& c : cases) {
        std::string code = "x";
        EXPECT_FALSE(DecodeLikeTheReader(c.Samples, code)) << c.Name << " gave " << code;
    }
    TEmDecoder decoder;
    std::string code;
    decoder.Classify(flat, DoutMask, 23, code);
    EXPECT_LE(decoder.Symbols().size(), 3U);
}

TEST(EmDecoder, FindsTheTrueHeaderAfterFalseOnesAndAWholeFrameAfterACutOne) {
    // Rows of zero with zero parity make eight equal bits: false headers.
    std::string code;
    EXPECT_TRUE(DecodeLikeTheReader(Capture("1000000001"), code));
    EXPECT_EQ(code, "1000000001");
    // Starting mid-frame, the first frame is cut at the start; a later one is whole.
    sim::TEmSignalSettings settings;
    settings.StartPhase = 40;
    EXPECT_TRUE(DecodeLikeTheReader(Capture("FEDCBA9876", settings), code));
    EXPECT_EQ(code, "FEDCBA9876");
}

// The two signals of a pair are one and the same, so only the reader's
// polarity tells the cards apart; while it is unknown, neither code is given.
TEST(EmDecoder, CodesWhoseInvertedSignalIsAnotherCardsNeedTheReaderPolarity) {
    for (const auto& pair : testing::EmInvertedPairs) {
        for (const double phase : {0.0, 20.5, 41.75}) {
            sim::TEmSignalSettings inverted;
            inverted.Inverted = true;
            inverted.StartPhase = phase + pair.Shift;
            sim::TEmSignalSettings normal;
            normal.StartPhase = phase;
            const std::vector<uint8_t> samples = Capture(pair.First, inverted);
            ASSERT_EQ(samples, Capture(pair.Second, normal)) << pair.First;
            const std::pair<TEmPolarity, std::string> readings[] = {
                {TEmPolarity::Unknown, ""}, {TEmPolarity::Inverted, pair.First}, {TEmPolarity::Normal, pair.Second}};
            for (const auto& [polarity, expected] : readings) {
                std::string code;
                EXPECT_EQ(DecodeLikeTheReader(samples, code, polarity), !expected.empty());
                EXPECT_EQ(code, expected) << pair.First << " at " << phase;
            }
        }
    }
}

// Noise makes a capture give no code, not a wrong one. Random codes do not
// reach the rare codes whose inverted signal is another card's (one in
// 174,763); the test above covers those.
TEST(EmDecoder, SeededNoisyCapturesOfRandomCodesDecodeRightOrNotAtAll) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int decoded = 0;
    const int captures = 2000;
    for (int i = 0; i < captures; ++i) {
        const std::string code = sim::RandomEmCode(random);
        sim::TEmSignalSettings settings;
        settings.Seed = random();
        settings.RateError = 0.3 * unit(random) - 0.15;
        settings.DutySkew = 0.3 * unit(random) - 0.15;
        settings.Jitter = 4 * unit(random);
        settings.GlitchRate = 0.001 * unit(random);
        settings.DropoutRate = 0.01 * unit(random);
        settings.Inverted = unit(random) < 0.5;
        settings.StartPhase = 64 * unit(random);
        std::string found;
        if (DecodeLikeTheReader(Capture(code, settings), found)) {
            ++decoded;
            ASSERT_EQ(found, code) << "seed " << settings.Seed;
        }
    }
    // The noise is mild enough that most captures still decode.
    EXPECT_GT(decoded, captures / 2) << decoded;
}

}  // namespace
}  // namespace reader
