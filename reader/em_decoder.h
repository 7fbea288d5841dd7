#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace reader {

// Decodes the 64-bit EM card frame (Manchester coded: 9 header ones, ten rows
// of four data bits with an even parity bit, four column parity bits, a stop
// bit of 0) from a capture of DOUT samples, by the lengths of its runs.
class TEmDecoder {
public:
    // The run symbol for a run of Run samples against threshold T: 'e' glitch,
    // 'S' half bit, 'L' whole bit, 'E' no valid signal.
    static char RunSymbol(int Run, int T);

    // Builds the symbols of Samples (level = sample AND DoutMask) with
    // threshold T, starts the search at the beginning and decodes.
    bool Classify(std::span<const uint8_t> Samples, uint8_t DoutMask, int T, std::string& Code);
    // Searches the symbols from the current position for a frame that passes
    // every check; true with the 10 upper-case hex digits in Code.
    bool Decode(std::string& Code);

    const std::string& Symbols() const { return FSymbols; }

private:
    // Follows the letters after a header at K and yields up to 55 bits.
    std::string FollowBits(std::size_t K) const;
    static bool CheckFrame(const std::string& Bits, std::string& Code);

    std::string FSymbols;
    std::size_t FSearchPos = 0;
};

}  // namespace reader
