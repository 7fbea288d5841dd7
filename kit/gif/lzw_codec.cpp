#include "kit/gif/lzw_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
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
    bool Active() const { return static_cast<bool>(FProgress); }
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
        if (FBits < size && !Refill(size)) {
            return -1;
        }
        const int code = static_cast<int>(FAccumulator & ((1u << size) - 1));
        FAccumulator >>= size;
        FBits -= size;
        return code;
    }
    size_t Position() const { return FPos; }

private:
    // Tops the accumulator up with as many whole bytes as fit; false when
    // fewer than size bits remain.
    __attribute__((noinline)) bool Refill(int size) {
        while (FBits <= 56) {
            if (FBlockLeft == 0) {
                if (FPos >= FData.size() || FData[FPos] == 0) {
                    break;
                }
                const size_t length = FData[FPos++];
                FBlockLeft = std::min(length, FData.size() - FPos);
                if (FBlockLeft == 0) {
                    break;
                }
            }
            const size_t room = static_cast<size_t>(64 - FBits) / 8;
            if (FBlockLeft >= sizeof(uint64_t) && std::endian::native == std::endian::little) {
                // Eight bytes of the block at once. Those that do not fit
                // whole leave their low bits above FBits: the same bits as the
                // next refill ORs in at that place, so they do no harm.
                uint64_t word;
                std::memcpy(&word, FData.data() + FPos, sizeof word);
                FAccumulator |= word << FBits;
                FPos += room;
                FBlockLeft -= room;
                FBits += static_cast<int>(8 * room);
                continue;
            }
            const size_t take = std::min(FBlockLeft, room);
            for (size_t i = 0; i < take; ++i) {
                FAccumulator |= static_cast<uint64_t>(FData[FPos++]) << FBits;
                FBits += 8;
            }
            FBlockLeft -= take;
        }
        return FBits >= size;
    }

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
        if (FPlane.BitsPerPixel != 8 || Done()) {
            PutReversed(&value, 1);
            return;
        }
        FRowData[FColumn] = value;
        if (++FColumn == FPlane.Width) {
            FColumn = 0;
            SetRow(FInterlaced ? NextInterlacedRow() : FRow + 1);
        }
    }

    // Room for count pixels of 8 bits in the current row: where to write
    // them, with the sink moved past them; null when they do not fit.
    uint8_t* Claim(int count) {
        if (FPlane.BitsPerPixel != 8 || Done() || FColumn + count > FPlane.Width) {
            return nullptr;
        }
        uint8_t* out = FRowData + FColumn;
        FColumn += count;
        if (FColumn == FPlane.Width) {
            FColumn = 0;
            SetRow(FInterlaced ? NextInterlacedRow() : FRow + 1);
        }
        return out;
    }

    // Stores the pixels stack[count - 1] down to stack[0], in that order.
    void PutReversed(const uint8_t* stack, int count) {
        while (count > 0 && !Done()) {
            const int run = std::min(count, FPlane.Width - FColumn);
            if (FPlane.BitsPerPixel == 8) {
                uint8_t* out = FRowData + FColumn;
                for (int i = 0; i < run; ++i) {
                    out[i] = stack[count - 1 - i];
                }
            } else {
                for (int i = 0; i < run; ++i) {
                    PutPacked(FColumn + i, stack[count - 1 - i]);
                }
            }
            count -= run;
            FColumn += run;
            if (FColumn == FPlane.Width) {
                FColumn = 0;
                SetRow(FInterlaced ? NextInterlacedRow() : FRow + 1);
            }
        }
    }

private:
    void PutPacked(int column, uint8_t value) {
        if (FPlane.BitsPerPixel == 4) {
            uint8_t& byte = FRowData[column >> 1];
            byte = (column & 1) ? static_cast<uint8_t>(byte | (value & 0x0F)) : static_cast<uint8_t>(value << 4);
        } else {
            uint8_t& byte = FRowData[column >> 3];
            const int shift = 7 - (column & 7);
            byte = (column & 7) ? static_cast<uint8_t>(byte | ((value & 1) << shift))
                                : static_cast<uint8_t>((value & 1) << 7);
        }
    }
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

    const PixelPlane FPlane;
    bool FInterlaced;
    int FRow = 0;
    int FColumn = 0;
    int FPass = 0;
    uint8_t* FRowData = nullptr;
};

struct DecoderTables {
    std::array<uint16_t, MaxCodes> Prefix{};
    std::array<uint8_t, MaxCodes> Suffix{};
    std::array<uint16_t, MaxCodes> Length{};  // pixels of each code's string; 0 = no string
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
    auto& length = tables->Length;
    auto& stack = tables->Stack;
    CodeReader reader(encoded.empty() ? encoded : encoded.subspan(1));
    PixelSink sink(target, interlaced);
    const int clear = 1 << start;
    const int end = clear + 1;
    const int pixelMask = (1 << std::clamp(tableBits, 1, 8)) - 1;
    // Codes below the clear code are single pixels; the rest are strings.
    for (int code = 0; code < clear; ++code) {
        length[code] = 1;
    }
    int codeSize = start + 1;
    int capacity = 1 << codeSize;
    int next = clear + 2;
    bool full = false;
    // The code before the current one; none at the start and after a clear
    // code, where a code starts a string without adding a table entry.
    int previous = -1;
    uint8_t first = 0;
    const auto begin = [&](int code) {
        previous = code;
        first = static_cast<uint8_t>(code & pixelMask);
        sink.Put(first);
    };
    const auto total = static_cast<int64_t>(encoded.size());
    const bool reporting = progress.Active();

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
            previous = -1;
            code = reader.Next(codeSize);
            if (code < 0 || code == end || code == clear) {
                continue;
            }
            begin(code);
        } else if (damaged) {
            break;  // after a clamped code size only clear codes are trusted
        } else if (previous < 0) {
            begin(code);  // data that do not begin with a clear code
        } else {
            if (code < clear) {
                // A single pixel, the commonest code of noisy pictures: no chain to follow.
                first = static_cast<uint8_t>(code & pixelMask);
                sink.Put(first);
            } else {
                // A code not yet in the table is the previous string plus its own first pixel.
                const bool pending = code >= next;
                int current = pending ? previous : code;
                const int stringLength = length[current];
                const int count = stringLength + (pending ? 1 : 0);
                uint8_t* out = sink.Claim(count);
                uint8_t* pixels = out ? out : stack.data();
                if (pending) {
                    pixels[count - 1] = first;
                }
                for (int i = stringLength - 1; i > 0; --i) {
                    pixels[i] = suffix[current];
                    current = prefix[current];
                }
                if (stringLength == 0 || current >= clear) {
                    damage(GifMessages::Corrupt);
                    break;
                }
                first = static_cast<uint8_t>(current & pixelMask);
                pixels[0] = first;
                if (!out) {
                    std::reverse(pixels, pixels + count);
                    sink.PutReversed(pixels, count);
                }
            }
            if (!full) {
                prefix[next] = static_cast<uint16_t>(previous);
                suffix[next] = first;
                length[next] = static_cast<uint16_t>(std::min(length[previous] + 1, MaxCodes));
                if (++next >= capacity) {
                    if (codeSize == 12) {
                        full = true;
                    } else {
                        ++codeSize;
                        capacity <<= 1;
                    }
                }
            }
            previous = code;
        }
        code = reader.Next(codeSize);
        if (reporting) {
            progress.Running(static_cast<int64_t>(reader.Position()), total);
        }
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

// The string table: 8192 slots (two per code; small enough to stay in the
// first-level cache), each empty or holding a string's key (its prefix code
// and last pixel) with its code, probed linearly.
constexpr uint32_t HashSize = 8192;
struct EncoderTable {
    static constexpr uint32_t Empty = 0xFFFFFFFF;
    std::array<uint32_t, HashSize> Slots{};
    void Clear() { Slots.fill(Empty); }
};

template <int Bits>
int PixelAt(const uint8_t* row, int column) {
    if constexpr (Bits == 8) {
        return row[column];
    } else if constexpr (Bits == 4) {
        return (row[column >> 1] >> ((column & 1) ? 0 : 4)) & 0x0F;
    } else {
        return (row[column >> 3] >> (7 - (column & 7))) & 1;
    }
}

template <int Bits>
void EncodePixels(CodeWriter& writer, const PixelPlane& source, int codeSize, ProgressReporter& progress) {
    auto table = std::make_unique<EncoderTable>();
    table->Clear();
    const int initialSize = codeSize + 1;
    const int clear = 1 << codeSize;
    const int end = clear + 1;
    int last = end;
    int size = initialSize;
    int capacity = 1 << initialSize;
    writer.Put(clear, size);

    int prefix = 0;
    bool pending = false;  // a string is being extended
    for (int row = 0; row < source.Height; ++row) {
        const uint8_t* data = source.Row0 + static_cast<ptrdiff_t>(row) * source.Stride;
        for (int column = 0; column < source.Width; ++column) {
            const int pixel = PixelAt<Bits>(data, column);
            if (pixel >= clear) {
                throw EGifError(GifMessages::EncodingError);
            }
            if (!pending) {
                prefix = pixel;
                pending = true;
                continue;
            }
            // The slot follows from the (prefix code, pixel) pair, so long
            // runs of one colour spread over the table.
            const uint32_t key = static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(pixel);
            uint32_t slot = (key ^ (key >> 12)) & (HashSize - 1);
            uint32_t entry = table->Slots[slot];
            while (entry != EncoderTable::Empty && entry >> 12 != key) {
                slot = (slot + 1) & (HashSize - 1);
                entry = table->Slots[slot];
            }
            if (entry != EncoderTable::Empty) {
                prefix = static_cast<int>(entry & 0xFFF);
                continue;
            }
            writer.Put(prefix, size);
            ++last;
            table->Slots[slot] = key << 12 | static_cast<uint32_t>(last);
            prefix = pixel;
            if (last >= capacity) {
                capacity <<= 1;
                ++size;
            } else if (last >= MaxCodes - 2) {
                writer.Put(prefix, size);
                writer.Put(clear, size);
                pending = false;
                last = end;
                size = initialSize;
                capacity = 1 << initialSize;
                table->Clear();
            }
        }
        progress.Running(row + 1, source.Height);
    }
    if (pending) {
        writer.Put(prefix, size);
    }
    writer.Put(end, size);
    writer.Flush();
}

bool Encode(std::vector<uint8_t>& out, const PixelPlane& source, int codeSize, ProgressReporter& progress) {
    if (codeSize < 2 || codeSize > 8) {
        throw EGifError(GifMessages::EncodingError);
    }
    out.push_back(static_cast<uint8_t>(codeSize));
    CodeWriter writer(out);
    switch (source.BitsPerPixel) {
        case 8:
            EncodePixels<8>(writer, source, codeSize, progress);
            break;
        case 4:
            EncodePixels<4>(writer, source, codeSize, progress);
            break;
        default:
            EncodePixels<1>(writer, source, codeSize, progress);
            break;
    }
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
