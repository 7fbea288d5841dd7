#pragma once

// The Qt-free core of the GIF picture: the byte layout of a GIF87a/GIF89a
// stream as the kit keeps it (image-wide data, per-image items, extensions),
// the parser that fills it from a byte span and the writer that rebuilds a
// stream from it. Errors are raised as EGifError carrying the message text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace kit {

// The kit's colour value: red in the low byte, green, blue; 0x1FFFFFFF = no colour.
using TColor = std::uint32_t;
inline constexpr TColor GifColorNone = 0x1FFFFFFF;

namespace GifMessages {
inline constexpr const char* UnknownVersion = "Unknown GIF version";
inline constexpr const char* UnrecognizedExtension = "Unrecognized extension block: %.2x";
inline constexpr const char* StreamRead = "Stream read error";
inline constexpr const char* NoData = "No GIF Data to write";
inline constexpr const char* WrongColorCount = "Wrong number of colors; must be a power of 2";
inline constexpr const char* CodeSizeRange = "GIF code size not in range 2 to 9";
inline constexpr const char* Corrupt = "GIF encoded data is corrupt";
inline constexpr const char* EncodingError = "GIF image encoding error";
inline constexpr const char* TooLarge = "GIF image is too large";
}  // namespace GifMessages

// Error of the GIF core; the Qt layer turns it into EInvalidGraphicOperation.
class EGifError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Largest frame the kit decodes or encodes (width x height, computed in 64 bits).
inline constexpr int64_t MaxGifPixels = int64_t{1} << 26;

// Raises "GIF image is too large" when width x height exceeds MaxGifPixels.
void CheckGifPixelCount(int64_t width, int64_t height);

struct GifColorTable {
    int32_t Count = 0;  // 0 = no table
    std::array<uint8_t, 768> Entries{};

    TColor ColorAt(int index) const;
    // First index whose colour equals rgb, -1 when none (GifColorNone is never found).
    int IndexOfColor(TColor rgb) const;
};

enum TExtensionKind : uint8_t { ekGraphicControl = 0, ekPlainText = 1, ekApplication = 2, ekComment = 3 };

// One extension block: its kind, its fixed part (block-size byte and the
// fixed bytes) and its data sub-blocks, one string per sub-block.
struct TExtension {
    TExtensionKind Kind = ekGraphicControl;
    std::array<uint8_t, 13> FixedPart{};
    std::vector<std::string> SubBlocks;
};

enum class GifProgressStage { Starting, Running, Ending };
// Progress of a long operation: stage, percentage and, when ending because of
// an error, its message.
using GifProgress = std::function<void(GifProgressStage, int, const std::string&)>;

// Image-wide data of a GIF.
struct GifScreen {
    uint8_t FormatVersion = 0;  // 0 not set, 1 "87a", 2 "89a"
    uint16_t LogicalWidth = 0;
    uint16_t LogicalHeight = 0;
    uint8_t AspectByte = 0;
    uint8_t TableBits = 0;
    uint8_t ColorResolution = 0;
    GifColorTable ColorTable;
    TColor ScreenBackground = GifColorNone;
    bool LoopEnabled = false;
    uint16_t LoopCount = 1;
    std::vector<std::string> CommentLines;
};

// Per-image data several frames may share: the encoded image as it follows the
// image descriptor and local table (code size byte, sub-blocks, terminator).
struct GifItemData {
    std::vector<uint8_t> EncodedData;
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t DescriptorFlags = 0;
    uint8_t TableBits = 0;
    GifColorTable ColorTable;
};

// Per-frame data of one image of the stream.
struct GifFrameData {
    int32_t Left = 0;
    int32_t Top = 0;
    bool IsInterlaced = false;
    bool IsDamaged = false;
    bool OwnColorTable = false;
    std::vector<TExtension> Extensions;
    int TransparentIndex = -1;  // the table index the key colour was read from
    TColor TransparentKey = GifColorNone;
    uint32_t DelayMs = 0;
    uint8_t DisposalMode = 0;
};

struct GifParsedFrame {
    GifFrameData Frame;
    GifItemData Item;
};

struct GifFile {
    GifScreen Screen;
    std::vector<GifParsedFrame> Frames;
};

// 2..256 (a power of two) -> 1..8; anything else raises "Wrong number of colors".
int BitsForColorCount(int count);
// Smallest n >= 1 with 2^n >= count.
int TableBitsFor(int count);

// Parses a whole GIF into file (which should be fresh). Frames are appended as
// they are read, so after an error file holds the frames read before it.
// A frame whose data end inside a sub-block keeps the sub-blocks before it
// and, unlike the data as read, ends with a zero terminator, so that it is
// written back as a well-formed stream.
void ParseGifBytes(std::span<const uint8_t> data, GifFile& file, bool tolerateDamaged);

// Brings a frame's graphic control extension in line with its delay, key colour
// (RGB or GifColorNone) and disposal, and drops comment extensions without lines.
// Returns whether the frame has any extension left.
bool SyncControlExtension(GifFrameData& frame, const GifColorTable& table);

// One frame to write: the frame data and its (possibly shared) item.
struct GifFrameRef {
    const GifFrameData* Frame;
    const GifItemData* Item;
};

// Writes screen and frames as a GIF. Every frame must have encoded data. Sets
// FormatVersion to 2 when there is a comment. A frame's own table is written
// with TableBitsFor(its count) bits, which the caller keeps as its TableBits.
std::vector<uint8_t> EmitGifBytes(GifScreen& screen, std::span<const GifFrameRef> frames);
// Convenience for a parsed file.
std::vector<uint8_t> EmitGifBytes(GifFile& file);

}  // namespace kit
