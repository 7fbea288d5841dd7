#include "kit/gif/gif_format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace kit {

namespace {

constexpr uint8_t IntroExtension = 0x21;
constexpr uint8_t IntroImage = 0x2C;
constexpr uint8_t IntroTrailer = 0x3B;
constexpr uint8_t LabelGraphicControl = 0xF9;
constexpr uint8_t LabelPlainText = 0x01;
constexpr uint8_t LabelApplication = 0xFF;
constexpr uint8_t LabelComment = 0xFE;

// Fixed-part length of each extension kind and its label, in kind order.
constexpr std::array<size_t, 4> FixedLength = {6, 13, 12, 0};
constexpr std::array<uint8_t, 4> KindLabel = {LabelGraphicControl, LabelPlainText, LabelApplication, LabelComment};

// Reads from a byte span; every read is checked against the bytes left.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : FData(data) {}

    bool AtEnd() const { return FPos >= FData.size(); }
    size_t Position() const { return FPos; }
    // The bytes from position From up to position To.
    std::span<const uint8_t> Bytes(size_t From, size_t To) const { return FData.subspan(From, To - From); }
    size_t Remaining() const { return FData.size() - FPos; }
    void SkipToEnd() { FPos = FData.size(); }

    uint8_t Byte() {
        if (AtEnd()) {
            throw EGifError(GifMessages::StreamRead);
        }
        return FData[FPos++];
    }
    uint16_t Word() {
        const uint8_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    std::span<const uint8_t> Take(size_t count) {
        if (count > Remaining()) {
            throw EGifError(GifMessages::StreamRead);
        }
        auto result = FData.subspan(FPos, count);
        FPos += count;
        return result;
    }
    // Skips zero bytes and returns the next byte, 0 at the end of data.
    uint8_t NextIntroducer() {
        while (!AtEnd() && FData[FPos] == 0) {
            ++FPos;
        }
        return AtEnd() ? 0 : FData[FPos++];
    }

private:
    std::span<const uint8_t> FData;
    size_t FPos = 0;
};

void ReadColorTable(ByteReader& reader, GifColorTable& table, int bits) {
    table = GifColorTable{};
    table.Count = 1 << bits;
    auto bytes = reader.Take(static_cast<size_t>(table.Count) * 3);
    std::copy(bytes.begin(), bytes.end(), table.Entries.begin());
}

// Sub-blocks up to a zero length byte or the end of data; a sub-block cut
// short by the end of data keeps the bytes that are there.
void ReadSubBlocks(ByteReader& reader, std::vector<std::string>& lines) {
    while (!reader.AtEnd()) {
        const size_t length = reader.Byte();
        if (length == 0) {
            return;
        }
        auto bytes = reader.Take(std::min(length, reader.Remaining()));
        lines.emplace_back(bytes.begin(), bytes.end());
    }
}

TExtension ReadExtension(ByteReader& reader) {
    TExtension extension;
    const uint8_t label = reader.Byte();
    const auto* found = std::find(KindLabel.begin(), KindLabel.end(), label);
    if (found == KindLabel.end()) {
        char message[64];
        std::snprintf(message, sizeof message, GifMessages::UnrecognizedExtension, label);
        throw EGifError(message);
    }
    extension.Kind = static_cast<TExtensionKind>(found - KindLabel.begin());
    auto fixed = reader.Take(FixedLength[extension.Kind]);
    std::copy(fixed.begin(), fixed.end(), extension.FixedPart.begin());
    if (extension.Kind != ekGraphicControl) {
        ReadSubBlocks(reader, extension.SubBlocks);
    }
    return extension;
}

// Loop block: an application extension named "NETSCAPE2.0" or "ANIMEXTS1.0"
// (block size exactly 11) whose first sub-block holds 1 and the repeat count.
bool IsLoopBlock(const TExtension& extension, uint16_t& count) {
    if (extension.FixedPart[0] != 11) {
        return false;
    }
    const char* identifier = reinterpret_cast<const char*>(&extension.FixedPart[1]);
    if (std::memcmp(identifier, "NETSCAPE2.0", 11) != 0 && std::memcmp(identifier, "ANIMEXTS1.0", 11) != 0) {
        return false;
    }
    if (extension.SubBlocks.empty() || extension.SubBlocks[0].size() < 3 || extension.SubBlocks[0][0] != 1) {
        return false;
    }
    const auto& block = extension.SubBlocks[0];
    count = static_cast<uint16_t>(static_cast<uint8_t>(block[1]) | (static_cast<uint8_t>(block[2]) << 8));
    return true;
}

void ParseFrame(ByteReader& reader, const GifScreen& screen, bool tolerateDamaged, GifParsedFrame& parsed) {
    GifFrameData& frame = parsed.Frame;
    GifItemData& item = parsed.Item;
    const uint16_t left = reader.Word();
    const uint16_t top = reader.Word();
    int32_t width = reader.Word();
    int32_t height = reader.Word();
    const uint8_t packed = reader.Byte();
    frame.IsInterlaced = (packed & 0x40) != 0;
    if (packed & 0x80) {
        item.TableBits = static_cast<uint8_t>((packed & 7) + 1);
        frame.OwnColorTable = true;
        ReadColorTable(reader, item.ColorTable, item.TableBits);
    } else {
        frame.OwnColorTable = false;
        item.ColorTable = screen.ColorTable;
    }
    // The code size byte and the whole sub-blocks are kept as they stand:
    // found first, then copied in one piece.
    const size_t start = reader.Position();
    reader.Byte();
    size_t end = reader.Position();
    bool terminated = false;
    while (!reader.AtEnd() && !terminated) {
        const uint8_t length = reader.Byte();
        if (length > reader.Remaining()) {
            frame.IsDamaged = true;
            reader.SkipToEnd();
            break;
        }
        reader.Take(length);
        end = reader.Position();
        terminated = length == 0;
    }
    const auto encoded = reader.Bytes(start, end);
    item.EncodedData.assign(encoded.begin(), encoded.end());
    // Data cut short keep the sub-blocks read so far and get their terminator,
    // so that writing the frame back gives a well-formed stream.
    if (!terminated) {
        item.EncodedData.push_back(0);
    }
    if (frame.IsDamaged && !tolerateDamaged) {
        throw EGifError(GifMessages::StreamRead);
    }
    if (width == 0) {
        width = screen.LogicalWidth;
    }
    if (height == 0) {
        height = screen.LogicalHeight;
    }
    // A frame of no pixels even after taking the screen's size holds nothing to show.
    if (width == 0 || height == 0) {
        frame.IsDamaged = true;
    }
    frame.Left = left;
    frame.Top = top;
    item.Width = width;
    item.Height = height;
    item.DescriptorFlags = packed;
    frame.DelayMs = 0;
    for (const auto& extension : frame.Extensions) {
        if (extension.Kind != ekGraphicControl) {
            continue;
        }
        const uint8_t flags = extension.FixedPart[1];
        const uint8_t index = extension.FixedPart[4];
        if ((flags & 1) && index < item.ColorTable.Count) {
            frame.TransparentIndex = index;
            frame.TransparentKey = item.ColorTable.ColorAt(index);
        } else if (!(flags & 1)) {
            frame.TransparentIndex = -1;
            frame.TransparentKey = GifColorNone;
        }
        const uint32_t delay = static_cast<uint32_t>(extension.FixedPart[2] | (extension.FixedPart[3] << 8)) * 10;
        frame.DelayMs = std::max(delay, frame.DelayMs);
        frame.DisposalMode = (flags >> 2) & 7;
    }
}

bool EqualsIgnoringCase(std::span<const uint8_t> bytes, const char* text) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (std::tolower(bytes[i]) != std::tolower(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : FOut(out) {}
    void Byte(uint8_t value) { FOut.push_back(value); }
    void Word(uint32_t value) {
        Byte(static_cast<uint8_t>(value));
        Byte(static_cast<uint8_t>(value >> 8));
    }
    void Bytes(const uint8_t* data, size_t count) { FOut.insert(FOut.end(), data, data + count); }
    void Text(const char* text) { Bytes(reinterpret_cast<const uint8_t*>(text), std::strlen(text)); }
    void SubBlocks(const std::vector<std::string>& lines) {
        for (const auto& line : lines) {
            const size_t count = std::min<size_t>(line.size(), 255);
            if (count > 0) {
                Byte(static_cast<uint8_t>(count));
                Bytes(reinterpret_cast<const uint8_t*>(line.data()), count);
            }
        }
        Byte(0);
    }
    // A table of 2^bits entries: the table's entries, zeros past its count.
    void Table(const GifColorTable& table, int bits) { Bytes(table.Entries.data(), size_t{3} << bits); }

private:
    std::vector<uint8_t>& FOut;
};

}  // namespace

void CheckGifPixelCount(int64_t width, int64_t height) {
    if (width < 0 || height < 0 || width * height > MaxGifPixels) {
        throw EGifError(GifMessages::TooLarge);
    }
}

TColor GifColorTable::ColorAt(int index) const {
    const uint8_t* entry = &Entries[static_cast<size_t>(index) * 3];
    return entry[0] | (entry[1] << 8) | (entry[2] << 16);
}

int GifColorTable::IndexOfColor(TColor rgb) const {
    if (rgb == GifColorNone) {
        return -1;
    }
    for (int i = 0; i < Count; ++i) {
        if (ColorAt(i) == rgb) {
            return i;
        }
    }
    return -1;
}

int BitsForColorCount(int count) {
    for (int bits = 1; bits <= 8; ++bits) {
        if (count == 1 << bits) {
            return bits;
        }
    }
    throw EGifError(GifMessages::WrongColorCount);
}

int TableBitsFor(int count) {
    int bits = 1;
    while ((1 << bits) < count) {
        ++bits;
    }
    return bits;
}

void ParseGifBytes(std::span<const uint8_t> data, GifFile& file, bool tolerateDamaged) {
    if (data.empty()) {
        return;
    }
    GifScreen& screen = file.Screen;
    if (data.size() < 6 || !EqualsIgnoringCase(data.first(3), "GIF")) {
        throw EGifError(GifMessages::UnknownVersion);
    }
    if (EqualsIgnoringCase(data.subspan(3, 3), "87a")) {
        screen.FormatVersion = 1;
    } else if (EqualsIgnoringCase(data.subspan(3, 3), "89a")) {
        screen.FormatVersion = 2;
    } else {
        throw EGifError(GifMessages::UnknownVersion);
    }
    ByteReader reader(data.subspan(6));
    screen.LogicalWidth = reader.Word();
    screen.LogicalHeight = reader.Word();
    const uint8_t packed = reader.Byte();
    const uint8_t background = reader.Byte();
    screen.AspectByte = reader.Byte();
    screen.TableBits = static_cast<uint8_t>((packed & 7) + 1);
    screen.ColorResolution = static_cast<uint8_t>(((packed >> 4) & 7) + 1);
    if (packed & 0x80) {
        ReadColorTable(reader, screen.ColorTable, screen.TableBits);
        if (background < screen.ColorTable.Count) {
            screen.ScreenBackground = screen.ColorTable.ColorAt(background);
        }
    }

    uint8_t introducer = reader.NextIntroducer();
    while (introducer != 0 && introducer != IntroTrailer && !reader.AtEnd()) {
        std::vector<TExtension> kept;
        while (introducer == IntroExtension) {
            TExtension extension = ReadExtension(reader);
            if (extension.Kind == ekPlainText) {
                kept.clear();
            } else if (extension.Kind == ekApplication) {
                uint16_t count = 0;
                if (IsLoopBlock(extension, count)) {
                    screen.LoopEnabled = true;
                    screen.LoopCount = std::min<uint16_t>(count, 30000);
                }
            } else {
                kept.push_back(std::move(extension));
            }
            introducer = reader.AtEnd() ? IntroTrailer : reader.NextIntroducer();
        }
        if (introducer == IntroImage) {
            GifParsedFrame parsed;
            if (screen.ColorTable.Count > 0) {
                parsed.Item.TableBits = static_cast<uint8_t>(BitsForColorCount(screen.ColorTable.Count));
            }
            parsed.Frame.Extensions = std::move(kept);
            ParseFrame(reader, screen, tolerateDamaged, parsed);
            file.Frames.push_back(std::move(parsed));
            introducer = reader.AtEnd() ? IntroTrailer : reader.NextIntroducer();
            if (introducer != IntroExtension && introducer != IntroImage && introducer != IntroTrailer) {
                introducer = 0;
            }
        } else if (screen.CommentLines.empty() && !kept.empty()) {
            for (const auto& extension : kept) {
                if (extension.Kind != ekComment) {
                    continue;
                }
                if (!screen.CommentLines.empty()) {
                    screen.CommentLines.emplace_back("\r\n\r\n");
                }
                screen.CommentLines.insert(screen.CommentLines.end(), extension.SubBlocks.begin(),
                                           extension.SubBlocks.end());
            }
            // The byte that ended the group starts no block: it is passed over,
            // so that a further group can follow. That group is dropped once
            // the image comment has lines.
            if (introducer != 0 && introducer != IntroTrailer) {
                introducer = reader.AtEnd() ? IntroTrailer : reader.NextIntroducer();
            }
        } else if (introducer != 0 && introducer != IntroTrailer) {
            throw EGifError(GifMessages::StreamRead);
        }
    }
}

bool SyncControlExtension(GifFrameData& frame, const GifColorTable& table) {
    auto& extensions = frame.Extensions;
    auto control = std::find_if(extensions.rbegin(), extensions.rend(),
                                [](const TExtension& e) { return e.Kind == ekGraphicControl; });
    TExtension* found = control == extensions.rend() ? nullptr : &*control;
    if (!found && (frame.DelayMs > 0 || frame.TransparentKey != GifColorNone || frame.DisposalMode > 0)) {
        TExtension created;
        created.Kind = ekGraphicControl;
        created.FixedPart[0] = 4;
        extensions.push_back(created);
        found = &extensions.back();
    }
    if (found) {
        const uint32_t delay = std::min<uint32_t>(frame.DelayMs / 10, 0xFFFF);
        found->FixedPart[2] = static_cast<uint8_t>(delay);
        found->FixedPart[3] = static_cast<uint8_t>(delay >> 8);
        // Keep the index the key was read from while it still holds the key
        // colour, so duplicated colours do not move the transparency.
        int index = frame.TransparentIndex;
        if (frame.TransparentKey == GifColorNone || index < 0 || index >= table.Count ||
            table.ColorAt(index) != frame.TransparentKey) {
            index = table.IndexOfColor(frame.TransparentKey);
        }
        uint8_t flags = found->FixedPart[1];
        if (index >= 0) {
            found->FixedPart[4] = static_cast<uint8_t>(index);
            flags |= 1;
        } else {
            flags &= ~1;
        }
        found->FixedPart[1] = static_cast<uint8_t>((flags & 0xE3) | ((frame.DisposalMode & 7) << 2));
    }
    std::erase_if(extensions, [](const TExtension& e) { return e.Kind == ekComment && e.SubBlocks.empty(); });
    return !extensions.empty();
}

std::vector<uint8_t> EmitGifBytes(GifScreen& screen, std::span<const GifFrameRef> frames) {
    if (frames.empty()) {
        throw EGifError(GifMessages::NoData);
    }
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    if (!screen.CommentLines.empty()) {
        screen.FormatVersion = 2;
    }
    writer.Text(screen.FormatVersion == 2 ? "GIF89a" : "GIF87a");
    writer.Word(screen.LogicalWidth);
    writer.Word(screen.LogicalHeight);
    const int globalCount = screen.ColorTable.Count;
    const int globalBits = globalCount > 0 ? BitsForColorCount(globalCount) : 0;
    writer.Byte(globalCount > 0 ? static_cast<uint8_t>(0x80 + ((globalBits - 1) << 4) + (globalBits - 1)) : 0);
    writer.Byte(static_cast<uint8_t>(std::max(screen.ColorTable.IndexOfColor(screen.ScreenBackground), 0)));
    writer.Byte(screen.AspectByte);
    if (globalCount > 0) {
        writer.Table(screen.ColorTable, globalBits);
    }
    if (screen.LoopEnabled && frames.size() > 1) {
        writer.Byte(IntroExtension);
        writer.Byte(LabelApplication);
        writer.Byte(11);
        writer.Text("NETSCAPE2.0");
        writer.Byte(3);
        writer.Byte(1);
        writer.Word(screen.LoopCount);
        writer.Byte(0);
    }
    for (const auto& ref : frames) {
        const GifFrameData& frame = *ref.Frame;
        const GifItemData& item = *ref.Item;
        if (item.EncodedData.empty()) {
            throw EGifError(GifMessages::NoData);
        }
        for (const auto& extension : frame.Extensions) {
            writer.Byte(IntroExtension);
            writer.Byte(KindLabel[extension.Kind]);
            writer.Bytes(extension.FixedPart.data(), FixedLength[extension.Kind]);
            if (extension.Kind != ekGraphicControl) {
                writer.SubBlocks(extension.SubBlocks);
            }
        }
        writer.Byte(IntroImage);
        writer.Word(static_cast<uint32_t>(frame.Left));
        writer.Word(static_cast<uint32_t>(frame.Top));
        writer.Word(static_cast<uint32_t>(item.Width));
        writer.Word(static_cast<uint32_t>(item.Height));
        // A local table is written only when it has entries: a flag without
        // entries would make the file unreadable.
        const bool ownTable = frame.OwnColorTable && item.ColorTable.Count > 0;
        uint8_t packed = frame.IsInterlaced ? 0x40 : 0;
        const int ownBits = TableBitsFor(item.ColorTable.Count);
        if (ownTable) {
            packed |= static_cast<uint8_t>(0x80 + ownBits - 1);
        }
        writer.Byte(packed);
        if (ownTable) {
            writer.Table(item.ColorTable, ownBits);
        }
        writer.Bytes(item.EncodedData.data(), item.EncodedData.size());
    }
    if (!screen.CommentLines.empty()) {
        writer.Byte(IntroExtension);
        writer.Byte(LabelComment);
        writer.SubBlocks(screen.CommentLines);
    }
    writer.Byte(IntroTrailer);
    return out;
}

std::vector<uint8_t> EmitGifBytes(GifFile& file) {
    std::vector<GifFrameRef> refs;
    refs.reserve(file.Frames.size());
    for (auto& parsed : file.Frames) {
        refs.push_back({&parsed.Frame, &parsed.Item});
    }
    return EmitGifBytes(file.Screen, refs);
}

}  // namespace kit
