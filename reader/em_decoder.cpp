#include "em_decoder.h"

#include <bit>

namespace reader {

namespace {

constexpr std::size_t FrameBits = 55;  // ten rows of five, four column bits, the stop bit
constexpr int StreamBits = 64;         // the header's nine ones and the frame bits
constexpr uint64_t HeaderOnes = 0x1FF;
constexpr std::string_view Header = "SSSSSSSSSSSSSSSS";
constexpr char HexDigits[] = "0123456789ABCDEF";

}  // namespace

char TEmDecoder::RunSymbol(int Run, int T) {
    if (Run < T / 4) {
        return 'e';
    }
    if (Run <= T) {
        return 'S';
    }
    return Run <= 3 * T ? 'L' : 'E';
}

bool TEmDecoder::Classify(std::span<const uint8_t> Samples, uint8_t DoutMask, int T, std::string& Code) {
    FSymbols.clear();
    const std::size_t count = Samples.size();
    if (count > 0) {
        auto level = [&](std::size_t i) { return (Samples[i] & DoutMask) != 0; };
        const bool level0 = level(0);
        // The first run is skipped: its start was not seen.
        std::size_t i = 1;
        while (i + 2 < count && level(i) == level0) {
            ++i;
        }
        bool current = !level0;
        FFirstRunHigh = current;
        int run = 0;
        for (; i < count; ++i) {
            if (level(i) == current) {
                ++run;
            } else {
                FSymbols += RunSymbol(run, T);
                current = !current;
                run = 1;
            }
        }
    }
    // The bit scan stops at these blanks.
    FSymbols += "  ";
    FSearchPos = 0;
    return Decode(Code);
}

std::string TEmDecoder::FollowBits(std::size_t K) const {
    std::string bits;
    bool level = true;
    while (bits.size() < FrameBits) {
        if (FSymbols[K] == 'L') {
            level = !level;
            K += 1;
        } else if (FSymbols[K] == 'S' && K + 1 < FSymbols.size() && FSymbols[K + 1] == 'S') {
            K += 2;
        } else {
            break;
        }
        bits += level ? '1' : '0';
    }
    return bits;
}

bool TEmDecoder::CheckFrame(const std::string& Bits, std::string& Code) {
    Code.clear();
    int column = 0;
    for (int row = 0; row < 10; ++row) {
        int nibble = 0;
        int parity = 0;
        for (int b = 0; b < 5; ++b) {
            const int bit = Bits[5 * row + b] - '0';
            parity ^= bit;
            if (b < 4) {
                nibble = (nibble << 1) | bit;
            }
        }
        if (parity != 0) {
            Code.clear();
            return false;
        }
        column ^= nibble;
        Code += HexDigits[nibble];
    }
    int columnBits = 0;
    for (int b = 50; b < 54; ++b) {
        columnBits = (columnBits << 1) | (Bits[b] - '0');
    }
    if (columnBits != column || Bits[54] != '0' || Code == "0000000000") {
        Code.clear();
        return false;
    }
    return true;
}

bool TEmDecoder::ReadsOtherwiseInverted(const std::string& Bits) {
    uint64_t stream = HeaderOnes;
    for (const char bit : Bits) {
        stream = (stream << 1) | (bit == '1' ? 1 : 0);
    }
    for (int shift = 1; shift < StreamBits; ++shift) {
        const uint64_t other = ~std::rotl(stream, shift);
        // Most shifts fail already on the header or the stop bit.
        if ((other >> FrameBits) != HeaderOnes || (other & 1) != 0) {
            continue;
        }
        std::string otherBits(FrameBits, '0');
        for (std::size_t b = 0; b < FrameBits; ++b) {
            if (((other >> (FrameBits - 1 - b)) & 1) != 0) {
                otherBits[b] = '1';
            }
        }
        std::string otherCode;
        if (CheckFrame(otherBits, otherCode)) {
            return true;
        }
    }
    return false;
}

TEmPolarity TEmDecoder::FramePolarity(std::size_t At) const {
    // The header search starts a frame at a bit's middle, so the run at At is
    // the second half of a header one; runs alternate in level.
    const bool high = FFirstRunHigh != ((At & 1) != 0);
    return high ? TEmPolarity::Inverted : TEmPolarity::Normal;
}

bool TEmDecoder::Decode(std::string& Code) {
    for (;;) {
        const std::size_t at = FSymbols.find(Header, FSearchPos);
        if (at == std::string::npos) {
            return false;
        }
        // A run of eight equal data bits looks like a header too; a rejected
        // candidate is followed by a search one letter further on.
        FSearchPos = at + 1;
        const std::string bits = FollowBits(at + Header.size());
        if (bits.size() != FrameBits || !CheckFrame(bits, Code)) {
            continue;
        }
        const TEmPolarity shown = FramePolarity(at);
        if (!ReadsOtherwiseInverted(bits)) {
            FProvenPolarity = shown;
            return true;
        }
        if (shown == FReaderPolarity) {
            FProvenPolarity = TEmPolarity::Unknown;
            return true;
        }
        // Without the reader's polarity this may be another card's inverted
        // signal.
        Code.clear();
    }
}

}  // namespace reader
