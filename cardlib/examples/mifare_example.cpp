// Drives the card library against the simulated Mifare reader: each request
// frame the library builds, the reader's answer, and what the library makes
// of it. The library does no input or output itself; this program is the
// "transport" that carries the frames.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/mifare_reader_sim.h"
#include "talvo_mifare.h"

namespace {

constexpr uint8_t Address = 1;
const uint8_t DefaultKey[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A frame with its control characters named.
std::string Printable(const std::string& Frame) {
    std::string text;
    for (const char c : Frame) {
        switch (c) {
            case 0x01:
                text += "<SOH>";
                break;
            case 0x02:
                text += "<STX>";
                break;
            case 0x03:
                text += "<ETX>";
                break;
            default:
                text += c;
                break;
        }
    }
    return text.empty() ? "(no answer)" : text;
}

class TExample {
public:
    TExample() : FReader(Address) { FReader.InsertClassic(sim::ECardKind::Classic1K, {0x04, 0x9A, 0x3C, 0x71}); }

    sim::TMifareReaderSim& Reader() { return FReader; }

    // One exchange: build the request, carry it to the reader, decode the
    // answer; counts a result other than `expected` as a failure.
    template <typename Host, typename Terminal>
    void Run(const char* Title, Host HostCall, Terminal TerminalCall, int32_t Expected = 0) {
        char frame[64];
        uint8_t length = 0;
        std::printf("%s\n", Title);
        const int32_t built = HostCall(frame, &length);
        if (built != 0) {
            std::printf("  request not built: %d\n", built);
            ++FFailures;
            return;
        }
        const std::string request(frame, length);
        const std::string answer = FReader.Exchange(request);
        const int32_t result = TerminalCall(answer.data(), static_cast<uint8_t>(answer.size()));
        std::printf("  request: %s\n  answer:  %s\n  result:  %d%s\n", Printable(request).c_str(),
                    Printable(answer).c_str(), result, result == Expected ? "" : "  (unexpected)");
        FFailures += result == Expected ? 0 : 1;
    }

    int Failures() const { return FFailures; }

private:
    sim::TMifareReaderSim FReader;
    int FFailures = 0;
};

void PrintBytes(const char* Label, const uint8_t* Bytes, std::size_t Count) {
    std::printf("  %s:", Label);
    for (std::size_t i = 0; i < Count; ++i) {
        std::printf(" %02X", Bytes[i]);
    }
    std::printf("\n");
}

}  // namespace

int main() {
    TExample example;
    char version[64] = "";
    const int32_t versionResult = mifareLibVer(version, sizeof version);
    std::printf("%s (result %d)\n\n", version, versionResult);

    char code[18] = "";
    example.Run(
        "Read the card code", [](char* f, uint8_t* l) { return readCardBufferHost(Address, f, l); },
        [&](const char* a, uint8_t l) { return readCardBufferTerminal(Address, a, l, code); });
    std::printf("  code: %s\n", code);

    const uint8_t block[16] = {'H', 'e', 'l', 'l', 'o', ',', ' ', 'c', 'a', 'r', 'd', '!'};
    example.Run(
        "Write sector 1 block 0 with key A",
        [&](char* f, uint8_t* l) { return mfClassicWriteHost(Address, 1, 0, block, DefaultKey, 0, f, l); },
        [](const char* a, uint8_t l) { return mfClassicWriteTerminal(Address, a, l); });

    uint8_t read[16] = {};
    example.Run(
        "Read it back with key B",
        [](char* f, uint8_t* l) { return mfClassicReadHost(Address, 1, 0, DefaultKey, 1, f, l); },
        [&](const char* a, uint8_t l) { return mfClassicReadTerminal(Address, a, l, read); });
    PrintBytes("block", read, sizeof read);

    const int32_t balance = 500;
    example.Run(
        "Make sector 2 block 0 a value block of 500",
        [&](char* f, uint8_t* l) { return mfCreateValueBlockHost(Address, 2, 0, &balance, 0, DefaultKey, 0, f, l); },
        [](const char* a, uint8_t l) { return mfCreateValueBlockTerminal(Address, a, l); });

    const uint8_t fifty[4] = {50, 0, 0, 0};
    example.Run(
        "Decrement it by 50 into the same block",
        [&](char* f, uint8_t* l) {
            return mfDecrementHost(Address, 2, 0, fifty, DefaultKey, 0, 2, 0, DefaultKey, 0, f, l);
        },
        [](const char* a, uint8_t l) { return mfDecrementTerminal(Address, a, l); });

    example.Run(
        "Store key A for sector 2 in slot 2",
        [](char* f, uint8_t* l) { return mfRssSetHost(Address, 2, DefaultKey, 0, f, l); },
        [](const char* a, uint8_t l) { return mfRssSetTerminal(Address, a, l); });

    example.Run(
        "Read the value block with the stored key",
        [](char* f, uint8_t* l) { return mfRssReadHost(Address, 2, 0, f, l); },
        [&](const char* a, uint8_t l) { return mfRssReadTerminal(Address, a, l, read); });
    PrintBytes("value block", read, sizeof read);

    const uint8_t wrongKey[6] = {1, 2, 3, 4, 5, 6};
    example.Run(
        "Read with a wrong key (the reader refuses)",
        [&](char* f, uint8_t* l) { return mfClassicReadHost(Address, 1, 0, wrongKey, 0, f, l); },
        [&](const char* a, uint8_t l) { return mfClassicReadTerminal(Address, a, l, read); }, 1);

    uint8_t mcu[16] = {};
    example.Run(
        "Read the reader's MCU identifier", [](char* f, uint8_t* l) { return readMcuUidHost(Address, f, l); },
        [&](const char* a, uint8_t l) { return readMcuUidTerminal(Address, a, l, mcu); });
    PrintBytes("MCU", mcu, sizeof mcu);

    example.Reader().InsertUltralight({0x04, 0x51, 0x7E, 0x22, 0x6B, 0x10, 0x80});
    const uint8_t page[4] = {0xDE, 0xC0, 0xDE, 0x01};
    example.Run(
        "Write Ultralight page 5", [&](char* f, uint8_t* l) { return mfULWriteHost(Address, 5, page, f, l); },
        [](const char* a, uint8_t l) { return mfULWriteTerminal(Address, a, l); });

    example.Reader().Faults.Silence = true;
    example.Run(
        "Read the card ID from a silent reader", [](char* f, uint8_t* l) { return readCardIDHost(Address, f, l); },
        [](const char* a, uint8_t l) {
            uint8_t id[27];
            uint8_t idLength = 0;
            return readCardIDTerminal(Address, a, l, id, &idLength);
        },
        1);

    std::printf("\n%s\n", example.Failures() == 0 ? "all exchanges as expected" : "some exchanges went wrong");
    return example.Failures() == 0 ? 0 : 1;
}
