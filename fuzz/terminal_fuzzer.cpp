// Feeds arbitrary answers to every Terminal function of the card library. The
// first input byte is the expected reader address, the rest is the answer.
// Besides the sanitizers' own checks it traps when a function writes to an
// output although it failed, or writes more than its output holds.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "talvo_mifare.h"

namespace {

using fuzz::Require;

constexpr uint8_t Fill = 0xA5;

// An output buffer with a guard area after the bytes the function may use.
template <std::size_t Size>
struct Guarded {
    uint8_t bytes[Size + 16];
    Guarded() { std::memset(bytes, Fill, sizeof bytes); }
    bool Untouched(std::size_t from = 0) const {
        for (std::size_t i = from; i < sizeof bytes; ++i) {
            if (bytes[i] != Fill) {
                return false;
            }
        }
        return true;
    }
};

template <std::size_t Size, typename Call>
void CheckDataTerminal(Call call) {
    Guarded<Size> out;
    const int32_t result = call(out.bytes);
    Require(result == 0 || out.Untouched());
    Require(out.Untouched(Size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1 || size > 256) {
        return 0;
    }
    const uint8_t address = data[0];
    const char* answer = reinterpret_cast<const char*>(data + 1);
    const auto length = static_cast<uint8_t>(size - 1);

    using OkTerminal = int32_t (*)(uint8_t, const char*, uint8_t);
    const OkTerminal okTerminals[] = {
        writeCardSettingsTerminal, mfClassicWriteTerminal, mfCreateValueBlockTerminal, mfIncrementTerminal,
        mfDecrementTerminal,       mfRestoreTerminal,      mfRssSetTerminal,           mfRssDelTerminal,
        mfRssWriteTerminal,        mfULWriteTerminal,      setReaderUidTerminal,
    };
    for (const OkTerminal terminal : okTerminals) {
        const int32_t result = terminal(address, answer, length);
        Require(result == 0 || result == 1);
    }

    CheckDataTerminal<18>([&](uint8_t* out) {
        const int32_t result = readCardBufferTerminal(address, answer, length, reinterpret_cast<char*>(out));
        Require(result == 0 || result == 1 || result == 4 || result == 5);
        Require(result != 0 || out[17] == 0);
        return result;
    });
    CheckDataTerminal<16>([&](uint8_t* out) { return mfClassicReadTerminal(address, answer, length, out); });
    CheckDataTerminal<16>([&](uint8_t* out) { return mfRssReadTerminal(address, answer, length, out); });
    CheckDataTerminal<4>([&](uint8_t* out) { return mfULReadTerminal(address, answer, length, out); });
    CheckDataTerminal<16>([&](uint8_t* out) { return readMcuUidTerminal(address, answer, length, out); });
    // The settings structure has padding the function never writes: compare
    // its fields only through a whole copy taken before the call.
    CardSettings settings;
    std::memset(&settings, Fill, sizeof settings);
    const CardSettings before = settings;
    const int32_t settingsResult = readCardSettingsTerminal(address, answer, length, &settings);
    Require(settingsResult == 0 || std::memcmp(&settings, &before, sizeof settings) == 0);

    Guarded<27> id;
    uint8_t idLength = 0xEE;
    const int32_t result = readCardIDTerminal(address, answer, length, id.bytes, &idLength);
    Require(result == 0 || (idLength == 0 && id.Untouched()));
    Require(idLength <= 27 && id.Untouched(idLength));
    return 0;
}
