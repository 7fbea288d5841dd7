// The Qt-free GIF core: stream parsing and writing, the LZW codec.

#include <gtest/gtest.h>

#include <random>

#include "kit/gif/gif_format.h"
#include "kit/gif/lzw_codec.h"
#include "kit/gif/testing/gif_samples.h"

namespace kit {
namespace {

using Bytes = std::vector<uint8_t>;

// Packs codes least-significant bit first behind a code size byte, as one
// sub-block and a terminator.
Bytes PackCodes(int codeSizeByte, const std::vector<std::pair<int, int>>& codes, bool terminate = true) {
    Bytes data;
    uint64_t accumulator = 0;
    int bits = 0;
    for (auto [code, size] : codes) {
        accumulator |= static_cast<uint64_t>(code) << bits;
        bits += size;
        while (bits >= 8) {
            data.push_back(static_cast<uint8_t>(accumulator));
            accumulator >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) {
        data.push_back(static_cast<uint8_t>(accumulator));
    }
    Bytes out{static_cast<uint8_t>(codeSizeByte), static_cast<uint8_t>(data.size())};
    out.insert(out.end(), data.begin(), data.end());
    if (terminate) {
        out.push_back(0);
    }
    return out;
}

struct Decoded {
    Bytes Pixels;
    bool Damaged;
};

Decoded Decode(const Bytes& encoded, int width, int height, int tableBits = 8, bool interlaced = false,
               bool tolerant = true) {
    Bytes pixels(static_cast<size_t>(width) * height);
    const PixelPlane plane{pixels.data(), width, width, height, 8};
    const bool damaged = LzwDecode(encoded, plane, interlaced, tableBits, tolerant);
    return {pixels, damaged};
}

Bytes Encode(const Bytes& pixels, int width, int height, int codeSize) {
    Bytes out;
    const PixelPlane plane{const_cast<uint8_t*>(pixels.data()), width, width, height, 8};
    LzwEncode(out, plane, codeSize);
    return out;
}

// Splits encoded data into its sub-block lengths.
std::vector<int> SubBlockLengths(const Bytes& encoded) {
    std::vector<int> lengths;
    for (size_t pos = 1; pos < encoded.size(); pos += encoded[pos] + 1) {
        lengths.push_back(encoded[pos]);
    }
    return lengths;
}

GifFile Parse(const Bytes& data, bool tolerate = true) {
    GifFile file;
    ParseGifBytes(data, file, tolerate);
    return file;
}

std::string ErrorOf(const Bytes& data, bool tolerate = true) {
    try {
        Parse(data, tolerate);
    } catch (const EGifError& error) {
        return error.what();
    }
    return "";
}

// A 2 x 2 GIF with a 2-colour global table; blocks are inserted before the image.
Bytes SmallGif(const Bytes& beforeImage = {}, const Bytes& afterImage = {}, const char* version = "GIF89a") {
    Bytes gif(version, version + 6);
    gif.insert(gif.end(), {2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    gif.insert(gif.end(), beforeImage.begin(), beforeImage.end());
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0});
    Bytes data = Encode({0, 1, 1, 0}, 2, 2, 2);
    gif.insert(gif.end(), data.begin(), data.end());
    gif.insert(gif.end(), afterImage.begin(), afterImage.end());
    gif.push_back(0x3B);
    return gif;
}

Bytes Comment(const std::string& text) {
    Bytes block{0x21, 0xFE, static_cast<uint8_t>(text.size())};
    block.insert(block.end(), text.begin(), text.end());
    block.push_back(0);
    return block;
}

Bytes Control(uint8_t flags, uint16_t delay, uint8_t index) {
    return {0x21, 0xF9, 4, flags, static_cast<uint8_t>(delay), static_cast<uint8_t>(delay >> 8), index, 0};
}

Bytes Application(const char* identifier, const Bytes& data) {
    Bytes block{0x21, 0xFF, 11};
    block.insert(block.end(), identifier, identifier + 11);
    block.push_back(static_cast<uint8_t>(data.size()));
    block.insert(block.end(), data.begin(), data.end());
    block.push_back(0);
    return block;
}

TEST(GifLzw, RoundTripsRandomImagesAcrossTableClears) {
    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        const int width = 1 + static_cast<int>(random() % 400);
        const int height = 1 + static_cast<int>(random() % 120);
        const int codeSize = 2 + static_cast<int>(random() % 7);
        const auto pattern = static_cast<testing::Pattern>(random() % 4);
        const Bytes pixels = testing::MakePixels(width, height, 1 << codeSize, pattern, random());
        const Bytes encoded = Encode(pixels, width, height, codeSize);
        // Decoding with 8 table bits: the code size may be smaller than the table's.
        const Decoded decoded = Decode(encoded, width, height);
        EXPECT_FALSE(decoded.Damaged);
        EXPECT_EQ(decoded.Pixels, pixels) << width << "x" << height << " code size " << codeSize;
    }
}

TEST(GifLzw, RoundTripsPackedDepths) {
    for (int bits : {1, 4, 8}) {
        const int width = 53;
        const int height = 17;
        const int stride = static_cast<int>(DibStride(width, bits));
        Bytes packed(static_cast<size_t>(stride) * height, 0);
        const Bytes indices = testing::MakePixels(width, height, 1 << bits, testing::Pattern::Noise, bits);
        // Pack the indices and encode from the packed plane.
        const PixelPlane target{packed.data(), stride, width, height, bits};
        const Bytes source = Encode(indices, width, height, std::max(bits, 2));
        ASSERT_FALSE(LzwDecode(source, target, false, bits, false));
        Bytes reencoded;
        LzwEncode(reencoded, target, std::max(bits, 2));
        EXPECT_EQ(reencoded, source) << bits;
        EXPECT_EQ(Decode(reencoded, width, height, bits).Pixels, indices) << bits;
    }
}

TEST(GifLzw, WritesFullSubBlocksAndAShortLastOne) {
    std::mt19937 random(5);
    bool sawExact = false;
    for (int width = 200; width < 400 && !sawExact; ++width) {
        const Bytes pixels = testing::MakePixels(width, 1, 256, testing::Pattern::Noise, 99);
        const Bytes encoded = Encode(pixels, width, 1, 8);
        const auto lengths = SubBlockLengths(encoded);
        if (lengths.size() == 2 && lengths[0] == 255) {
            sawExact = true;  // exactly 255 bytes of codes: one full block and the terminator
            EXPECT_EQ(lengths[1], 0);
        }
    }
    EXPECT_TRUE(sawExact);
    const Bytes pixels = testing::MakePixels(1000, 3, 256, testing::Pattern::Noise, 3);
    const auto lengths = SubBlockLengths(Encode(pixels, 1000, 3, 8));
    ASSERT_GE(lengths.size(), 3u);
    for (size_t i = 0; i + 2 < lengths.size(); ++i) {
        EXPECT_EQ(lengths[i], 255);
    }
    EXPECT_GT(lengths[lengths.size() - 2], 0);
    EXPECT_LT(lengths[lengths.size() - 2], 255);
    EXPECT_EQ(lengths.back(), 0);
}

TEST(GifLzw, DecodesOddStreams) {
    // Code size 2: clear 4, end 5, 3-bit codes.
    struct Case {
        const char* Name;
        Bytes Encoded;
        Bytes Expected;
        int Width;
        bool Damaged;
    } cases[] = {
        // Without a leading clear code the first code adds no entry, as after
        // a clear code: 6 is "1 2" and the codes grow to 4 bits after it.
        {"no leading clear code", PackCodes(2, {{1, 3}, {2, 3}, {6, 3}, {5, 4}}), {1, 2, 1, 2}, 4, false},
        {"more pixels than the image", PackCodes(2, {{4, 3}, {3, 3}, {3, 3}, {3, 3}, {5, 3}}), {3, 3}, 2, false},
        {"data ending early", PackCodes(2, {{4, 3}, {1, 3}}), {1, 0, 0, 0}, 4, true},
        {"no data at all", Bytes{2, 0}, {0, 0, 0}, 3, true},
        {"code size 12 clamped", PackCodes(12, {{512, 10}, {6, 10}, {7, 10}, {513, 10}}), {2, 0, 0, 0}, 4, true},
        {"code size 1 clamped", PackCodes(1, {{4, 3}, {1, 3}, {1, 3}}), {1, 0}, 2, true},
        {"end code after clear", PackCodes(2, {{4, 3}, {5, 3}}), {0, 0}, 2, false},
        {"unterminated but complete", PackCodes(2, {{4, 3}, {1, 3}, {2, 3}}, false), {1, 2}, 2, false},
    };
    for (const auto& c : cases) {
        // A heap copy of exactly the encoded bytes: any read past them is caught.
        const Decoded decoded = Decode(Bytes(c.Encoded), c.Width, 1, 2);
        EXPECT_EQ(decoded.Pixels, c.Expected) << c.Name;
        EXPECT_EQ(decoded.Damaged, c.Damaged) << c.Name;
    }
}

TEST(GifLzw, RaisesOnDamageWhenNotTolerated) {
    struct Case {
        Bytes Encoded;
        const char* Message;
    } cases[] = {
        {PackCodes(12, {{512, 10}, {5, 10}}), GifMessages::CodeSizeRange},
        {PackCodes(2, {{4, 3}, {1, 3}}), GifMessages::Corrupt},
    };
    for (const auto& c : cases) {
        try {
            Decode(c.Encoded, 4, 1, 2, false, false);
            ADD_FAILURE() << "no error for " << c.Message;
        } catch (const EGifError& error) {
            EXPECT_STREQ(error.what(), c.Message);
        }
    }
}

TEST(GifLzw, CodesBelowTheClearCodeArePixelsWhenTheCodeSizeIsBelowTheTableBits) {
    // Table of 256 colours, code size 2: code 6 is the string "1 2", not pixel 6.
    const Bytes encoded = PackCodes(2, {{4, 3}, {1, 3}, {2, 3}, {6, 4}, {5, 4}});
    EXPECT_EQ(Decode(encoded, 4, 1, 8).Pixels, (Bytes{1, 2, 1, 2}));
}

TEST(GifLzw, InterlacedImagesFillEveryRowOnce) {
    for (int height = 1; height <= 17; ++height) {
        testing::SampleFrame frame;
        frame.Width = 3;
        frame.Height = height;
        frame.Interlaced = true;
        for (int row = 0; row < height; ++row) {
            frame.Pixels.insert(frame.Pixels.end(), 3, static_cast<uint8_t>(row + 1));
        }
        const testing::SampleGif gif{"", 3, height, 8, -1, {}, {frame}};
        const GifFile file = Parse(testing::BuildSampleGif(gif));
        const auto& item = file.Frames.at(0).Item;
        EXPECT_EQ(Decode(item.EncodedData, 3, height, 8, true).Pixels, frame.Pixels) << height;
    }
}

TEST(GifLzw, EncoderClearsTheTableBeforeCode4095) {
    // Noise never repeats long strings, so the table fills many times; a
    // decoder that follows the code size growth reads it back exactly.
    const Bytes pixels = testing::MakePixels(512, 256, 256, testing::Pattern::Noise, 11);
    const Bytes encoded = Encode(pixels, 512, 256, 8);
    const Decoded decoded = Decode(encoded, 512, 256);
    EXPECT_FALSE(decoded.Damaged);
    EXPECT_EQ(decoded.Pixels, pixels);
}

TEST(GifLzw, RejectsPixelsAboveTheCodeSize) {
    EXPECT_THROW(Encode({0, 4}, 2, 1, 2), EGifError);
    EXPECT_THROW(Encode({0, 1}, 2, 1, 9), EGifError);
}

TEST(GifStream, ParsesTheHeaderAndScreen) {
    struct Case {
        const char* Name;
        Bytes Data;
        const char* Error;
    } cases[] = {
        {"upper-case version", SmallGif({}, {}, "GIF89A"), ""},
        {"lower-case signature", SmallGif({}, {}, "gif87a"), ""},
        {"other version", SmallGif({}, {}, "GIF88a"), GifMessages::UnknownVersion},
        {"short signature", Bytes{'G', 'I', 'F', '8'}, GifMessages::UnknownVersion},
        {"short screen", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0}, GifMessages::StreamRead},
        {"garbage first block", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 'x', 1},
         GifMessages::StreamRead},
        {"unknown extension", SmallGif({0x21, 0x33, 0}), "Unrecognized extension block: 33"},
        {"short control extension", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x21, 0xF9, 4},
         GifMessages::StreamRead},
        {"short application extension", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x21, 0xFF, 13, 'N'},
         GifMessages::StreamRead},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorOf(c.Data), c.Error) << c.Name;
    }
    EXPECT_TRUE(Parse({}).Frames.empty());
    const GifFile file = Parse(SmallGif({}, {}, "GIF87a"));
    EXPECT_EQ(file.Screen.FormatVersion, 1);
    EXPECT_EQ(file.Screen.ScreenBackground, 0u);  // index 0: black
    Bytes outside = SmallGif();
    outside[11] = 5;  // background index past the 2-entry table
    EXPECT_EQ(Parse(outside).Screen.ScreenBackground, GifColorNone);
}

TEST(GifStream, KeepsOnlyTheExtensionsThatMatter) {
    const GifFile looped = Parse(SmallGif(Application("NETSCAPE2.0", {1, 0x40, 0x9C})));
    EXPECT_TRUE(looped.Screen.LoopEnabled);
    EXPECT_EQ(looped.Screen.LoopCount, 30000);  // 40000 is capped
    EXPECT_TRUE(looped.Frames.at(0).Frame.Extensions.empty());
    const GifFile other = Parse(SmallGif(Application("XYZWXYZW1.0", {1, 5, 0})));
    EXPECT_FALSE(other.Screen.LoopEnabled);
    Bytes longBlock = Application("NETSCAPE2.0", {1, 5, 0});
    longBlock[2] = 10;  // block size not 11: identifier not compared past its block
    longBlock.insert(longBlock.begin() + 13, 0);
    EXPECT_FALSE(Parse(SmallGif(longBlock)).Screen.LoopEnabled);

    Bytes plainText{0x21, 0x01, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes controlThenText = Control(1 | (2 << 2), 50, 1);
    controlThenText.insert(controlThenText.end(), plainText.begin(), plainText.end());
    const GifFile clearedFile = Parse(SmallGif(controlThenText));
    const auto& cleared = clearedFile.Frames.at(0).Frame;
    EXPECT_EQ(cleared.DelayMs, 0u);
    EXPECT_EQ(cleared.TransparentKey, GifColorNone);

    const GifFile file = Parse(SmallGif(Control(1 | (2 << 2), 50, 1)));
    const auto& frame = file.Frames.at(0).Frame;
    EXPECT_EQ(frame.DelayMs, 500u);
    EXPECT_EQ(frame.DisposalMode, 2);
    EXPECT_EQ(frame.TransparentKey, 0xFFFFFFu);
    // Long delays do not wrap: 10000 hundredths are 100 s.
    EXPECT_EQ(Parse(SmallGif(Control(0, 10000, 0))).Frames.at(0).Frame.DelayMs, 100000u);
}

TEST(GifStream, PlacesComments) {
    const Bytes trailing = Comment("one");
    const Bytes second = Comment("two");
    const GifFile file = Parse(SmallGif(Comment("frame"), trailing));
    EXPECT_EQ(file.Frames.at(0).Frame.Extensions.at(0).SubBlocks, std::vector<std::string>{"frame"});
    EXPECT_EQ(file.Screen.CommentLines, std::vector<std::string>{"one"});
    // Two trailing groups, parted by a byte that starts no block: the second is
    // dropped when the first gave the image comment its lines.
    const auto twoGroups = [&second](Bytes first) {
        first.push_back('x');
        first.insert(first.end(), second.begin(), second.end());
        return SmallGif({}, first);
    };
    EXPECT_EQ(Parse(twoGroups(trailing)).Screen.CommentLines, std::vector<std::string>{"one"});
    EXPECT_EQ(Parse(twoGroups(Control(0, 5, 0))).Screen.CommentLines, std::vector<std::string>{"two"});
    Bytes both = Comment("one");
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(Parse(SmallGif({}, both)).Screen.CommentLines, (std::vector<std::string>{"one", "\r\n\r\n", "two"}));
}

TEST(GifStream, ToleratesDamagedAndOddImages) {
    Bytes garbage = SmallGif();
    garbage.back() = 'x';
    EXPECT_EQ(Parse(garbage).Frames.size(), 1u);

    // Cut inside the last sub-block: the frame is damaged and keeps its code size byte.
    const Bytes full = SmallGif();
    const Bytes cut(full.begin(), full.end() - 3);
    const GifFile damaged = Parse(cut);
    ASSERT_EQ(damaged.Frames.size(), 1u);
    EXPECT_TRUE(damaged.Frames[0].Frame.IsDamaged);
    EXPECT_EQ(damaged.Frames[0].Item.EncodedData, (Bytes{2, 0}));
    EXPECT_EQ(ErrorOf(cut, false), GifMessages::StreamRead);

    Bytes zeroSize = SmallGif();
    zeroSize[19 + 5] = 0;  // image width 0 takes the screen's
    EXPECT_EQ(Parse(zeroSize).Frames[0].Item.Width, 2);
    Bytes emptyScreen = zeroSize;
    emptyScreen[6] = 0;  // screen width 0 too: an empty, damaged frame
    const GifFile empty = Parse(emptyScreen);
    EXPECT_EQ(empty.Frames[0].Item.Width, 0);
    EXPECT_TRUE(empty.Frames[0].Frame.IsDamaged);
    EXPECT_THROW(CheckGifPixelCount(65535, 65535), EGifError);
    EXPECT_NO_THROW(CheckGifPixelCount(8192, 8192));
}

TEST(GifStream, EveryPrefixOfAValidFileParsesOrFailsCleanly) {
    for (const auto& sample : testing::SampleCorpus(3)) {
        const Bytes gif = testing::BuildSampleGif(sample);
        for (size_t length = 0; length <= gif.size(); length += 1 + length / 64) {
            const Bytes prefix(gif.begin(), gif.begin() + static_cast<ptrdiff_t>(length));
            GifFile file;
            try {
                ParseGifBytes(prefix, file, true);
            } catch (const EGifError&) {
                continue;
            }
            for (const auto& parsed : file.Frames) {
                const auto& item = parsed.Item;
                Bytes pixels(static_cast<size_t>(item.Width) * item.Height);
                const PixelPlane plane{pixels.data(), item.Width, item.Width, item.Height, 8};
                LzwDecode(item.EncodedData, plane, parsed.Frame.IsInterlaced, 8, true);
            }
        }
    }
}

TEST(GifStream, WritesWhatItDecided) {
    GifFile file = Parse(SmallGif(Comment("x")));
    file.Screen.CommentLines = {std::string(300, 'c')};
    file.Screen.LoopEnabled = true;  // one frame: no loop block
    const Bytes written = EmitGifBytes(file);
    const GifFile reread = Parse(written);
    EXPECT_EQ(reread.Screen.CommentLines, std::vector<std::string>{std::string(255, 'c')});
    EXPECT_FALSE(reread.Screen.LoopEnabled);

    // An own table without entries is not announced.
    GifFile ownEmpty = Parse(SmallGif());
    ownEmpty.Frames[0].Frame.OwnColorTable = true;
    ownEmpty.Frames[0].Item.ColorTable = GifColorTable{};
    EXPECT_EQ(Parse(EmitGifBytes(ownEmpty)).Frames.at(0).Frame.OwnColorTable, false);
}

TEST(GifStream, KeepsTheTransparentIndexThatWasRead) {
    // Entries 0 and 1 are both white; the file makes index 1 transparent.
    Bytes gif = SmallGif(Control(1, 0, 1));
    gif[13] = gif[14] = gif[15] = 255;
    GifFile file = Parse(gif);
    auto& parsed = file.Frames.at(0);
    EXPECT_TRUE(SyncControlExtension(parsed.Frame, parsed.Item.ColorTable));
    EXPECT_EQ(parsed.Frame.Extensions.at(0).FixedPart[4], 1);
    // A key that no longer matches the kept index is looked up again.
    parsed.Frame.TransparentKey = 0;
    gif[13] = gif[14] = gif[15] = 0;
    parsed.Item.ColorTable.Entries[0] = parsed.Item.ColorTable.Entries[1] = parsed.Item.ColorTable.Entries[2] = 0;
    SyncControlExtension(parsed.Frame, parsed.Item.ColorTable);
    EXPECT_EQ(parsed.Frame.Extensions.at(0).FixedPart[4], 0);

    GifFrameData plain;
    EXPECT_FALSE(SyncControlExtension(plain, parsed.Item.ColorTable));
    EXPECT_TRUE(plain.Extensions.empty());
    plain.DelayMs = 655370;  // more than 16 bits of hundredths: capped, not wrapped
    SyncControlExtension(plain, parsed.Item.ColorTable);
    EXPECT_EQ(plain.Extensions.at(0).FixedPart[2], 0xFF);
    EXPECT_EQ(plain.Extensions.at(0).FixedPart[3], 0xFF);
}

}  // namespace
}  // namespace kit
