// Decode and encode throughput of the kit's GIF codec and of giflib on the
// same in-memory files. Outputs are checked equal before anything is timed.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "kit/gif/testing/gif_samples.h"
#include "kit/gif/testing/giflib_reference.h"

namespace {

using kit::testing::Pattern;
using kit::testing::SampleFrame;
using kit::testing::SampleGif;

SampleFrame Frame(int width, int height, int limit, Pattern pattern, uint32_t seed, int codeSize = 8) {
    SampleFrame frame;
    frame.Width = width;
    frame.Height = height;
    frame.CodeSize = codeSize;
    frame.Pixels = kit::testing::MakePixels(width, height, limit, pattern, seed);
    return frame;
}

// A large 8-bit picture: a gradient with noise in its low bits.
SampleGif NoisyImage() {
    SampleGif gif{"noisy8", 1024, 768, 8, -1, {}, {}};
    SampleFrame frame = Frame(1024, 768, 256, Pattern::Gradient, 1);
    const auto noise = kit::testing::MakePixels(1024, 768, 8, Pattern::Noise, 2);
    for (size_t i = 0; i < frame.Pixels.size(); ++i) {
        frame.Pixels[i] = static_cast<uint8_t>(std::min(255, frame.Pixels[i] + noise[i]));
    }
    gif.Frames.push_back(frame);
    return gif;
}

std::vector<SampleGif> Files() {
    std::vector<SampleGif> files;
    files.push_back(NoisyImage());
    files.push_back({"pattern1", 1024, 768, 1, -1, {}, {Frame(1024, 768, 2, Pattern::Stripes, 3, 2)}});
    files.push_back({"random8", 1024, 768, 8, -1, {}, {Frame(1024, 768, 256, Pattern::Noise, 4)}});
    files.push_back({"constant", 1024, 768, 8, -1, {}, {Frame(1024, 768, 256, Pattern::Constant, 5)}});
    SampleGif animation{"animation200", 96, 64, 8, 0, {}, {}};
    for (int i = 0; i < 200; ++i) {
        animation.Frames.push_back(Frame(96, 64, 64, i % 2 ? Pattern::Noise : Pattern::Stripes, 100 + i));
    }
    files.push_back(animation);
    SampleGif interlaced{"interlaced", 800, 600, 8, -1, {}, {Frame(800, 600, 256, Pattern::Gradient, 6)}};
    interlaced.Frames[0].Interlaced = true;
    files.push_back(interlaced);
    files.push_back(kit::testing::BusyStripSample());
    return files;
}

int64_t PixelCount(const SampleGif& gif) {
    int64_t count = 0;
    for (const auto& frame : gif.Frames) {
        count += static_cast<int64_t>(frame.Width) * frame.Height;
    }
    return count;
}

void Check(bool condition, const std::string& what) {
    if (!condition) {
        std::fprintf(stderr, "output mismatch: %s\n", what.c_str());
        std::exit(1);
    }
}

struct Prepared {
    SampleGif Sample;
    std::vector<uint8_t> Ours;    // written by our encoder
    std::vector<uint8_t> Theirs;  // written by giflib
};

std::vector<Prepared>& PreparedFiles() {
    static std::vector<Prepared> prepared = [] {
        std::vector<Prepared> result;
        for (auto& sample : Files()) {
            Prepared file{sample, kit::testing::BuildSampleGif(sample), kit::testing::GiflibEncode(sample)};
            const auto pixels = kit::testing::SamplePixels(sample);
            Check(kit::testing::CoreDecode(file.Ours) == pixels, sample.Name + ": our decoder on our file");
            Check(kit::testing::GiflibDecode(file.Ours) == pixels, sample.Name + ": giflib on our file");
            Check(kit::testing::CoreDecode(file.Theirs) == pixels, sample.Name + ": our decoder on giflib's file");
            Check(kit::testing::GiflibDecode(file.Theirs) == pixels, sample.Name + ": giflib on giflib's file");
            result.push_back(std::move(file));
        }
        return result;
    }();
    return prepared;
}

template <typename Body>
void Run(benchmark::State& state, const Prepared& file, Body body) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(body(file));
    }
    state.SetItemsProcessed(state.iterations() * PixelCount(file.Sample));
    state.counters["bytes"] = static_cast<double>(file.Ours.size());
}

void RegisterAll() {
    for (const auto& file : PreparedFiles()) {
        const std::string& name = file.Sample.Name;
        // Both decoders read the same file (the one our encoder wrote).
        benchmark::RegisterBenchmark(("decode/ours/" + name).c_str(), [&file](benchmark::State& state) {
            Run(state, file, [](const Prepared& f) { return kit::testing::CoreDecode(f.Ours); });
        });
        benchmark::RegisterBenchmark(("decode/giflib/" + name).c_str(), [&file](benchmark::State& state) {
            Run(state, file, [](const Prepared& f) { return kit::testing::GiflibDecode(f.Ours); });
        });
        benchmark::RegisterBenchmark(("encode/ours/" + name).c_str(), [&file](benchmark::State& state) {
            Run(state, file, [](const Prepared& f) { return kit::testing::BuildSampleGif(f.Sample); });
        });
        benchmark::RegisterBenchmark(("encode/giflib/" + name).c_str(), [&file](benchmark::State& state) {
            Run(state, file, [](const Prepared& f) { return kit::testing::GiflibEncode(f.Sample); });
        });
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
