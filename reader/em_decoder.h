#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace reader {

// The line polarity of a card signal: Normal when a 1 bit is high in its
// first half and low in its second, Inverted the other way round.
enum class TEmPolarity : uint8_t { Unknown, Normal, Inverted };

// Decodes the 64-bit EM card frame (Manchester coded: 9 header ones, ten rows
// of four data bits with an even parity bit, four column parity bits, a stop
// bit of 0) from a capture of DOUT samples, by the lengths of its runs.
//
// Run lengths alone cannot tell a signal from its inverse, and for a rare
// class of codes the inverted signal of one card holds a valid frame of
// another, shifted by some bits. A frame of such a code is therefore given
// only when it shows the reader's known polarity; a frame of any other code
// proves the reader's polarity.
class TEmDecoder {
public:
    // The run symbol for a run of Run samples against threshold T: 'e' glitch,
    // 'S' half bit, 'L' whole bit, 'E' no valid signal.
    static char RunSymbol(int Run, int T);

    // Builds the symbols of Samples (level = sample AND DoutMask) with
    // threshold T, starts the search at the beginning and decodes.
    bool Classify(std::span<const uint8_t> Samples, uint8_t DoutMask, int T, std::string& Code);
    // Searches the symbols from the current position for a frame that passes
    // every check and reads the same whatever the polarity, or shows the
    // reader's polarity; true with the 10 upper-case hex digits in Code.
    bool Decode(std::string& Code);

    // What is known of the reader's polarity (Unknown at first).
    void SetReaderPolarity(TEmPolarity Polarity) { FReaderPolarity = Polarity; }
    // The reader polarity that the last code Decode gave proves; Unknown when
    // that code was taken on the strength of the known polarity.
    TEmPolarity ProvenPolarity() const { return FProvenPolarity; }

    const std::string& Symbols() const { return FSymbols; }

private:
    // Follows the letters after a header at K and yields up to 55 bits.
    std::string FollowBits(std::size_t K) const;
    static bool CheckFrame(const std::string& Bits, std::string& Code);
    // True when the complement of the frame's bit stream, at some shift,
    // is itself a valid frame: the inverted signal would give another code.
    static bool ReadsOtherwiseInverted(const std::string& Bits);
    // The polarity that a frame whose header starts at symbol At shows.
    TEmPolarity FramePolarity(std::size_t At) const;

    std::string FSymbols;
    std::size_t FSearchPos = 0;
    bool FFirstRunHigh = false;
    TEmPolarity FReaderPolarity = TEmPolarity::Unknown;
    TEmPolarity FProvenPolarity = TEmPolarity::Unknown;
};

}  // namespace reader
