#include "platform/testing/recording_key_sink.h"

#include <array>
#include <string_view>

namespace platform::testing {
namespace {

// The punctuation keys of a US keyboard: unshifted and shifted character, virtual key.
struct TPunctuationKey {
    char Plain;
    char Shifted;
    std::uint8_t VirtualKey;
};
constexpr std::array<TPunctuationKey, 11> PunctuationKeys{{
    {';', ':', 0xBA},
    {'=', '+', 0xBB},
    {',', '<', 0xBC},
    {'-', '_', 0xBD},
    {'.', '>', 0xBE},
    {'/', '?', 0xBF},
    {'`', '~', 0xC0},
    {'[', '{', 0xDB},
    {'\\', '|', 0xDC},
    {']', '}', 0xDD},
    {'\'', '"', 0xDE},
}};

// What Shift gives on the digit keys 0 to 9.
constexpr std::string_view ShiftedDigits = ")!@#$%^&*(";

struct TScanCode {
    std::uint8_t VirtualKey;
    std::uint8_t ScanCode;
};
// Set-1 scan codes of the keys that are not letters or digits.
constexpr std::array<TScanCode, 51> OtherScanCodes{{
    {0x03, 0x46}, {0x08, 0x0E}, {0x09, 0x0F}, {0x0C, 0x4C}, {0x0D, 0x1C}, {0x10, 0x2A}, {0x11, 0x1D}, {0x12, 0x38},
    {0x14, 0x3A}, {0x1B, 0x01}, {0x20, 0x39}, {0x21, 0x49}, {0x22, 0x51}, {0x23, 0x4F}, {0x24, 0x47}, {0x25, 0x4B},
    {0x26, 0x48}, {0x27, 0x4D}, {0x28, 0x50}, {0x2D, 0x52}, {0x2E, 0x53}, {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D},
    {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40}, {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57},
    {0x7B, 0x58}, {0x7C, 0x64}, {0x7D, 0x65}, {0x7E, 0x66}, {0x7F, 0x67}, {0x90, 0x45}, {0x91, 0x46}, {0xBA, 0x27},
    {0xBB, 0x0D}, {0xBC, 0x33}, {0xBD, 0x0C}, {0xBE, 0x34}, {0xBF, 0x35}, {0xC0, 0x29}, {0xDB, 0x1A}, {0xDC, 0x2B},
    {0xDD, 0x1B}, {0xDE, 0x28}, {0xE2, 0x56},
}};
// Scan codes of the letters A to Z.
constexpr std::array<std::uint8_t, 26> LetterScanCodes{0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                                       0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                                       0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

}  // namespace

std::uint8_t RecordingKeySink::ScanCode(std::uint8_t VirtualKey) {
    if (VirtualKey >= '1' && VirtualKey <= '9') {
        return VirtualKey - '1' + 0x02;
    }
    if (VirtualKey == '0') {
        return 0x0B;
    }
    if (VirtualKey >= 'A' && VirtualKey <= 'Z') {
        return LetterScanCodes[VirtualKey - 'A'];
    }
    for (const TScanCode& entry : OtherScanCodes) {
        if (entry.VirtualKey == VirtualKey) {
            return entry.ScanCode;
        }
    }
    return 0;
}

std::uint16_t RecordingKeySink::VkKeyScan(char Character) {
    const auto code = static_cast<unsigned char>(Character);
    if (code >= 'a' && code <= 'z') {
        return code - 'a' + 'A';
    }
    if (code >= 'A' && code <= 'Z') {
        return ShiftBit | code;
    }
    if (code == ' ' || (code >= '0' && code <= '9')) {
        return code;
    }
    if (const auto digit = ShiftedDigits.find(Character); digit != std::string_view::npos) {
        return ShiftBit | ('0' + digit);
    }
    for (const TPunctuationKey& key : PunctuationKeys) {
        if (key.Plain == Character || key.Shifted == Character) {
            return key.VirtualKey | (key.Shifted == Character ? ShiftBit : 0);
        }
    }
    switch (code) {
        case 8:   // backspace
        case 9:   // tab
        case 13:  // carriage return
        case 27:  // escape
            return code;
        case 10:  // line feed: Ctrl+Enter
            return CtrlBit | VK_RETURN;
        case 127:  // delete character: Ctrl+Backspace
            return CtrlBit | VK_BACK;
        default:
            break;
    }
    if (code >= 1 && code <= 26) {
        return CtrlBit | (code - 1 + 'A');
    }
    return NoKey;
}

}  // namespace platform::testing
