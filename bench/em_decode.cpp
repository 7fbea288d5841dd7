// Robustness of the EM decoder against a noisy card signal: for each point of
// a sweep over the generator's noise knobs, decodes 10,000 captures the way a
// KEV-2 read does (thresholds in the reader's order, first code wins) on a
// reader whose polarity is not known yet, and prints the rates of correct
// codes, no code and wrong codes, and the median decoding time per capture.
// Two more rows decode clean captures of codes whose inverted signal is
// another card's, on a fresh reader and on one that has learned its polarity.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "reader/em_decoder.h"
#include "reader/ftdi_htrc.h"
#include "sim/ftdi/em_signal.h"

namespace {

constexpr int CapturesPerPoint = 10000;
constexpr uint8_t DoutMask = 0x02;

struct TPoint {
    std::string Knob;
    double Value;
    std::function<void(sim::TEmSignalSettings&, double)> Apply;
    // Codes to draw from; random codes when empty.
    std::vector<std::string> Codes = {};
    // Whether the decoder knows the reader's polarity.
    bool Learned = false;
};

struct TResult {
    int Correct = 0;
    int None = 0;
    int Wrong = 0;
    double MedianUs = 0;
};

// Whether the complement of Code's bit stream, started at some bit, is a
// valid frame: then the inverted signal of Code is another card's signal.
bool InvertedIsAnotherCard(const std::string& Code) {
    const std::array<uint8_t, 64> frame = sim::EmFrame(Code);
    for (std::size_t shift = 1; shift < frame.size(); ++shift) {
        // Nine ones after a stop bit of 0, once complemented.
        bool header = frame[shift - 1] == 1;
        for (std::size_t i = shift; header && i < shift + 9; ++i) {
            header = frame[i % frame.size()] == 0;
        }
        if (!header) {
            continue;
        }
        std::array<uint8_t, 64> other{};
        for (std::size_t i = 0; i < frame.size(); ++i) {
            other[i] = frame[(i + shift) % frame.size()] ^ 1;
        }
        std::string code;
        for (std::size_t row = 0; row < 10; ++row) {
            int nibble = 0;
            for (std::size_t bit = 0; bit < 4; ++bit) {
                nibble = 2 * nibble + other[9 + 5 * row + bit];
            }
            code += "0123456789ABCDEF"[nibble];
        }
        if (code != "0000000000" && sim::EmFrame(code) == other) {
            return true;
        }
    }
    return false;
}

// Count codes whose inverted signal is another card's, found among random
// codes (about one in 175,000).
std::vector<std::string> InvertedAmbiguousCodes(std::size_t Count, std::mt19937_64& Random) {
    std::vector<std::string> codes;
    while (codes.size() < Count) {
        std::string code = sim::RandomEmCode(Random);
        if (InvertedIsAnotherCard(code)) {
            codes.push_back(std::move(code));
        }
    }
    return codes;
}

TResult Measure(const TPoint& Point, std::mt19937_64& Random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<uint8_t> samples(reader::HtrcCaptureLength);
    std::vector<double> times;
    times.reserve(CapturesPerPoint);
    TResult result;
    reader::TEmDecoder decoder;
    for (int i = 0; i < CapturesPerPoint; ++i) {
        const std::string code = Point.Codes.empty()
                                     ? sim::RandomEmCode(Random)
                                     : Point.Codes[static_cast<std::size_t>(Random() % Point.Codes.size())];
        sim::TEmSignalSettings settings;
        settings.Seed = Random();
        settings.StartPhase = 64 * unit(Random);
        settings.Inverted = unit(Random) < 0.5;
        Point.Apply(settings, Point.Value);
        using reader::TEmPolarity;
        decoder.SetReaderPolarity(!Point.Learned      ? TEmPolarity::Unknown
                                  : settings.Inverted ? TEmPolarity::Inverted
                                                      : TEmPolarity::Normal);
        const sim::TEmSignal signal(code, settings);
        sim::EmCapture(signal, samples, DoutMask, 0x05);
        std::string found;
        bool decoded = false;
        const auto start = std::chrono::steady_clock::now();
        for (const int t : reader::HtrcThresholds) {
            if (decoder.Classify(samples, DoutMask, t, found)) {
                decoded = true;
                break;
            }
        }
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        if (!decoded) {
            ++result.None;
        } else if (found == code) {
            ++result.Correct;
        } else {
            ++result.Wrong;
        }
    }
    std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
    result.MedianUs = times[times.size() / 2];
    return result;
}

}  // namespace

int main() {
    const auto spb = [](sim::TEmSignalSettings& s, double v) { s.SamplesPerBit = v; };
    const auto rate = [](sim::TEmSignalSettings& s, double v) { s.RateError = v; };
    const auto skew = [](sim::TEmSignalSettings& s, double v) { s.DutySkew = v; };
    const auto jitter = [](sim::TEmSignalSettings& s, double v) { s.Jitter = v; };
    const auto glitch = [](sim::TEmSignalSettings& s, double v) { s.GlitchRate = v; };
    const auto dropout = [](sim::TEmSignalSettings& s, double v) { s.DropoutRate = v; };
    const auto clean = [](sim::TEmSignalSettings&, double) {};
    std::vector<TPoint> points = {{"none", 0, clean}};
    for (const double v : {20.0, 24.0, 28.0, 36.0, 40.0, 44.0}) {
        points.push_back({"samples_per_bit", v, spb});
    }
    for (const double v : {-0.3, -0.2, -0.1, 0.1, 0.2, 0.3}) {
        points.push_back({"rate_error", v, rate});
    }
    for (const double v : {0.1, 0.2, 0.3}) {
        points.push_back({"duty_skew", v, skew});
    }
    for (const double v : {2.0, 4.0, 6.0, 7.5}) {
        points.push_back({"jitter", v, jitter});
    }
    for (const double v : {0.0005, 0.001, 0.002, 0.005}) {
        points.push_back({"glitch_rate", v, glitch});
    }
    for (const double v : {0.002, 0.005, 0.01, 0.02}) {
        points.push_back({"dropout_rate", v, dropout});
    }
    std::mt19937_64 search(7);
    const std::vector<std::string> ambiguous = InvertedAmbiguousCodes(64, search);
    points.push_back({"ambiguous fresh", 0, clean, ambiguous, false});
    points.push_back({"ambiguous learned", 0, clean, ambiguous, true});
    std::mt19937_64 random(5);
    std::printf("%-18s %8s %9s %9s %9s %12s\n", "knob", "value", "correct", "no code", "wrong", "median us");
    for (const auto& point : points) {
        const TResult r = Measure(point, random);
        char value[16] = "-";
        if (point.Codes.empty()) {
            std::snprintf(value, sizeof value, "%g", point.Value);
        }
        std::printf("%-18s %8s %8.2f%% %8.2f%% %8.3f%% %12.1f\n", point.Knob.c_str(), value,
                    100.0 * r.Correct / CapturesPerPoint, 100.0 * r.None / CapturesPerPoint,
                    100.0 * r.Wrong / CapturesPerPoint, r.MedianUs);
    }
    return 0;
}
