#include "kit/gif/lzw_codec.h"

#include <algorithm>
#include <array>
#include <memory>

namespace kit {

namespace {

constexpr int MaxCodes = 4096;

// Calls the progress target with running percentages, only when the figure changes.
class ProgressReporter {
public:
    explicit ProgressReporter(const GifProgress& progress) : FProgress(progress) {
        if (FProgress) {
            FProgress(GifProgressStage::Starting, 0, {});
        }
    }
    void Running(int64_t done, int64_t total) {
        if (!FProgress || total <= 0) {
            return;
        }
        const int percent = static_cast<int>(done * 100 / total);
        if (percent != FLast) {
            FLast = percent;
            FProgress(GifProgressStage::Running, percent, {});
        }
    }
    void Finished() {
        if (FProgress) {
            FProgress(GifProgressStage::Ending, 100, {});
        }
    }
    void Failed(const std::exception& error) {
        if (FProgress) {
            FProgress(GifProgressStage::Ending, 0, error.what());
        }
    }

private:
    const GifProgress& FProgress;
    int FLast = -1;
};

// Runs body between a starting and an ending report; an error gets its
// message in the ending report and propagates.
template <typename Body>
auto WithProgress(const GifProgress& progress, Body body) {
    ProgressReporter reporter(progress);
    try {
        auto result = body(reporter);
        reporter.Finished();
        return result;
    } catch (const std::exception& error) {
        reporter.Failed(error);
        throw;
    }
}

// Takes codes least-significant bit first from the data sub-blocks; never
// reads past the bytes it was given.
class CodeReader {
public:
    explicit CodeReader(std::span<const uint8_t> data) : FData(data) {}

    // The next code of size bits, or -1 when the data ended.
    int Next(int size) {
        while (FBits < size) {
            if (FBlockLeft == 0) {
                if (FPos >= FData.size() || FData[FPos] == 0) {
                    return -1;
                }
                const size_t length = FData[FPos++];
                FBlockLeft = std::min(length, FData.size() - FPos);
                if (FBlockLeft == 0) {
                    return -1;
                }
            }
            FAccumulator |= static_cast<uint64_t>(FData[FPos++]) << FBits;
            FBits += 8;
            --FBlockLeft;
        }
        const int code = static_cast<int>(FAccumulator & ((1u << size) - 1));
        FAccumulator >>= size;
        FBits -= size;
        return code;
    }
    size_t Position() const { return FPos; }

private:
    std::span<const uint8_t> FData;
    size_t FPos = 0;
    size_t FBlockLeft = 0;
    uint64_t FAccumulator = 0;
    int FBits = 0;
};

// Stores decoded pixels row by row, in plain or four-pass interlaced order.
class PixelSink {
public:
    PixelSink(const PixelPlane& plane, bool interlaced) : FPlane(plane), FInterlaced(interlaced) { SetRow(0); }

    bool Done() const { return FRow >= FPlane.Height; }

    void Put(uint8_t value) {
        if (Done()) {
            return;
        }
        switch (FPlane.BitsPerPixel) {
            case 8:
                FRowData[FColumn] = value;
                break;
            case 4: {
                uint8_t& byte = FRowData[FColumn >> 1];
                byte = (FColumn & 1) ? static_cast<uint8_t>(byte | (value & 0x0F)) : static_cast<uint8_t>(value << 4);
                break;
            }
            default: {
                uint8_t& byte = FRowData[FColumn >> 3];
                const int shift = 7 - (FColumn & 7);
                byte = (FColumn & 7) ? static_cast<uint8_t>(byte | ((value & 1) << shift))
                                     : static_cast<uint8_t>((value & 1) << 7);
                break;
            }
        }
        if (++FColumn == FPlane.Width) {
            FColumn = 0;
            SetRow(FInterlaced ? NextInterlacedRow() : FRow + 1);
        }
    }

private:
    void SetRow(int row) {
        FRow = row;
        if (FPlane.Width <= 0) {
            FRow = FPlane.Height;
        }
        if (!Done()) {
            FRowData = FPlane.Row0 + static_cast<ptrdiff_t>(FRow) * FPlane.Stride;
        }
    }
    int NextInterlacedRow() {
        static constexpr std::array<int, 4> Step = {8, 8, 4, 2};
        static constexpr std::array<int, 4> Start = {0, 4, 2, 1};
        int row = FRow + Step[FPass];
        while (row >= FPlane.Height && FPass < 3) {
            ++FPass;
            row = Start[FPass];
        }
        return row;
    }

    const PixelPlane& FPlane;
    bool FInterlaced;
    int FRow = 0;
    int FColumn = 0;
    int FPass = 0;
    uint8_t* FRowData = nullptr;
};

struct DecoderTables {
    std::array<uint16_t, MaxCodes> Prefix{};
    std::array<uint8_t, MaxCodes> Suffix{};
    std::array<uint8_t, MaxCodes + 1> Stack{};
};

bool Decode(std::span<const uint8_t> encoded, const PixelPlane& target, bool interlaced, int tableBits, bool tolerant,
            ProgressReporter& progress) {
    bool damaged = false;
    // Marks the data damaged, or raises when damage is not tolerated.
    auto damage = [&](const char* message) {
        if (!tolerant) {
            throw EGifError(message);
        }
        damaged = true;
    };
    int start = encoded.empty() ? 0 : encoded[0];
    if (start < 2 || start > 9) {
        damage(GifMessages::CodeSizeRange);
        start = std::clamp(start, 2, 9);
    }
    auto tables = std::make_unique<DecoderTables>();
    auto& prefix = tables->Prefix;
    auto& suffix = tables->Suffix;
    auto& stack = tables->Stack;
    CodeReader reader(encoded.empty() ? encoded : encoded.subspan(1));
    PixelSink sink(target, interlaced);
    const int clear = 1 << start;
    const int end = clear + 1;
    const int pixelMask = (1 << std::clamp(tableBits, 1, 8)) - 1;
    int codeSize = start + 1;
    int capacity = 1 << codeSize;
    int next = clear + 2;
    bool full = false;
    int previous = 0;
    uint8_t first = 0;
    const auto total = static_cast<int64_t>(encoded.size());

    int code = reader.Next(codeSize);
    while (!sink.Done()) {
        if (code < 0) {
            damage(GifMessages::Corrupt);
            break;
        }
        if (code == end) {
            break;
        }
        if (code == clear) {
            codeSize = start + 1;
            capacity = 1 << codeSize;
            next = clear + 2;
            full = false;
            code = reader.Next(codeSize);
            if (code < 0 || code == end || code == clear) {
                continue;
            }
            previous = code;
            first = static_cast<uint8_t>(code & pixelMask);
            sink.Put(first);
        } else {
            const int incoming = code;
            int current = code;
            int depth = 0;
            if (current >= next) {
                current = previous;
                stack[depth++] = first;
            }
            // Codes below the clear code are single pixels; the rest are strings.
            while (current >= clear && depth < MaxCodes) {
                stack[depth++] = suffix[current];
                current = prefix[current];
            }
            if (current >= clear) {
                damage(GifMessages::Corrupt);
            }
            if (damaged) {
                break;
            }
            first = static_cast<uint8_t>(current & pixelMask);
            stack[depth++] = first;
            while (depth > 0) {
                sink.Put(stack[--depth]);
            }
            if (!full) {
                prefix[next] = static_cast<uint16_t>(previous);
                suffix[next] = first;
                if (++next >= capacity) {
                    if (codeSize == 12) {
                        full = true;
                    } else {
                        ++codeSize;
                        capacity <<= 1;
                    }
                }
            }
            previous = incoming;
        }
        code = reader.Next(codeSize);
        progress.Running(static_cast<int64_t>(reader.Position()), total);
    }
    return damaged;
}

// Packs codes least-significant bit first into 255-byte sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<uint8_t>& out) : FOut(out) {}

    void Put(int code, int size) {
        FAccumulator |= static_cast<uint64_t>(code) << FBits;
        FBits += size;
        while (FBits >= 8) {
            FBlock[FCount++] = static_cast<uint8_t>(FAccumulator);
            FAccumulator >>= 8;
            FBits -= 8;
            if (FCount == 255) {
                WriteBlock();
            }
        }
    }
    void Flush() {
        if (FBits > 0) {
            FBlock[FCount++] = static_cast<uint8_t>(FAccumulator);
            FBits = 0;
        }
        if (FCount > 0) {
            WriteBlock();
        }
        FOut.push_back(0);
    }

private:
    void WriteBlock() {
        FOut.push_back(static_cast<uint8_t>(FCount));
        FOut.insert(FOut.end(), FBlock.begin(), FBlock.begin() + FCount);
        FCount = 0;
    }

    std::vector<uint8_t>& FOut;
    std::array<uint8_t, 255> FBlock{};
    size_t FCount = 0;
    uint64_t FAccumulator = 0;
    int FBits = 0;
};

constexpr int HashSize = 17777;

struct EncoderTables {
    struct Entry {
        uint16_t Prefix;
        uint8_t Pixel;
    };
    std::array<Entry, MaxCodes> Pool{};  // entry c holds the string of code c
    std::array<int16_t, HashSize> Slots{};
    void ClearSlots() { Slots.fill(-1); }
};

bool Encode(std::vector<uint8_t>& out, const PixelPlane& source, int codeSize, ProgressReporter& progress) {
    if (codeSize < 2 || codeSize > 8) {
        throw EGifError(GifMessages::EncodingError);
    }
    auto tables = std::make_unique<EncoderTables>();
    tables->ClearSlots();
    const int initialSize = codeSize + 1;
    const int clear = 1 << codeSize;
    const int end = clear + 1;
    int last = end;
    int size = initialSize;
    int capacity = 1 << initialSize;
    out.push_back(static_cast<uint8_t>(codeSize));
    CodeWriter writer(out);
    writer.Put(clear, size);

    int prefix = 0;
    int hash = 0;
    int length = 0;  // pixels of the current string
    for (int row = 0; row < source.Height; ++row) {
        const uint8_t* data = source.Row0 + static_cast<ptrdiff_t>(row) * source.Stride;
        for (int column = 0; column < source.Width; ++column) {
            int pixel = 0;
            switch (source.BitsPerPixel) {
                case 8:
                    pixel = data[column];
                    break;
                case 4:
                    pixel = (data[column >> 1] >> ((column & 1) ? 0 : 4)) & 0x0F;
                    break;
                default:
                    pixel = (data[column >> 3] >> (7 - (column & 7))) & 1;
                    break;
            }
            if (pixel >= clear) {
                throw EGifError(GifMessages::EncodingError);
            }
            if (++length == 1) {
                prefix = pixel;
                hash = (pixel + 3) * 301;
                continue;
            }
            hash = ((pixel + length + 4) * hash) % HashSize;
            int slot = hash;
            while (tables->Slots[slot] >= 0) {
                const auto& entry = tables->Pool[tables->Slots[slot]];
                if (entry.Prefix == prefix && entry.Pixel == pixel) {
                    break;
                }
                slot = slot + 1 == HashSize ? 0 : slot + 1;
            }
            if (tables->Slots[slot] >= 0) {
                prefix = tables->Slots[slot];
                continue;
            }
            writer.Put(prefix, size);
            ++last;
            tables->Pool[last] = {static_cast<uint16_t>(prefix), static_cast<uint8_t>(pixel)};
            tables->Slots[slot] = static_cast<int16_t>(last);
            prefix = pixel;
            hash = (pixel + 3) * 301;
            length = 1;
            if (last >= capacity) {
                capacity <<= 1;
                ++size;
            } else if (last >= MaxCodes - 2) {
                writer.Put(prefix, size);
                writer.Put(clear, size);
                length = 0;
                last = end;
                size = initialSize;
                capacity = 1 << initialSize;
                tables->ClearSlots();
            }
        }
        progress.Running(row + 1, source.Height);
    }
    if (length > 0) {
        writer.Put(prefix, size);
    }
    writer.Put(end, size);
    writer.Flush();
    return true;
}

}  // namespace

bool LzwDecode(std::span<const uint8_t> encoded, const PixelPlane& target, bool interlaced, int tableBits,
               bool tolerant, const GifProgress& progress) {
    return WithProgress(progress, [&](ProgressReporter& reporter) {
        return Decode(encoded, target, interlaced, tableBits, tolerant, reporter);
    });
}

void LzwEncode(std::vector<uint8_t>& out, const PixelPlane& source, int codeSize, const GifProgress& progress) {
    WithProgress(progress, [&](ProgressReporter& reporter) { return Encode(out, source, codeSize, reporter); });
}

}  // namespace kit
