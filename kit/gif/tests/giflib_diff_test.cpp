// Our codec against giflib: both decode the same files to the same indices,
// and each decodes what the other encoded.

#include <gtest/gtest.h>

#include <random>

#include "kit/gif/testing/giflib_reference.h"

namespace kit {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::CoreDecode;
using testing::GiflibDecode;
using testing::GiflibEncode;
using testing::SamplePixels;

std::vector<testing::SampleGif> Corpus() {
    std::vector<testing::SampleGif> corpus;
    for (uint32_t seed : {1u, 2u, 3u}) {
        auto part = testing::SampleCorpus(seed);
        corpus.insert(corpus.end(), part.begin(), part.end());
    }
    corpus.push_back(testing::BusyStripSample());
    return corpus;
}

TEST(GiflibDifferential, BothDecodeOurFilesToTheSameIndices) {
    for (const auto& sample : Corpus()) {
        const Bytes gif = testing::BuildSampleGif(sample);
        const auto ours = CoreDecode(gif);
        EXPECT_EQ(ours, GiflibDecode(gif)) << sample.Name;
        EXPECT_EQ(ours, SamplePixels(sample)) << sample.Name;
    }
}

TEST(GiflibDifferential, WeDecodeWhatGiflibEncodes) {
    for (const auto& sample : Corpus()) {
        // giflib encodes with the table's code size and one table.
        bool fits = sample.GlobalTableBits > 0;
        for (const auto& frame : sample.Frames) {
            fits = fits && frame.LocalTableBits == 0 && frame.CodeSize == std::max(sample.GlobalTableBits, 2);
        }
        if (!fits) {
            continue;
        }
        const Bytes gif = GiflibEncode(sample);
        ASSERT_FALSE(gif.empty()) << sample.Name;
        EXPECT_EQ(CoreDecode(gif), SamplePixels(sample)) << sample.Name;
    }
}

TEST(GiflibDifferential, GiflibDecodesOurEncoderOnRandomImages) {
    std::mt19937 random(77);
    for (int round = 0; round < 30; ++round) {
        testing::SampleFrame frame;
        frame.Width = 1 + static_cast<int>(random() % 300);
        frame.Height = 1 + static_cast<int>(random() % 100);
        const int bits = 1 + static_cast<int>(random() % 8);
        frame.CodeSize = std::max(bits, 2);
        frame.Interlaced = random() % 2 == 0;
        frame.Pixels = testing::MakePixels(frame.Width, frame.Height, 1 << bits,
                                           static_cast<testing::Pattern>(random() % 4), random());
        const testing::SampleGif sample{"random", frame.Width, frame.Height, bits, -1, {}, {frame}};
        const Bytes gif = testing::BuildSampleGif(sample);
        EXPECT_EQ(GiflibDecode(gif), SamplePixels(sample)) << frame.Width << "x" << frame.Height << " bits " << bits;
    }
}

}  // namespace
}  // namespace kit
