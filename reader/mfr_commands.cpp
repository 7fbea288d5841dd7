#include "mfr_commands.h"

#include <cstdio>
#include <cstdlib>

#include "platform/hex_digit.h"

namespace reader {

namespace {

constexpr std::size_t ShortestFrame = 9;
// The check-character scan combines at most this many characters.
constexpr std::size_t CheckScanLimit = 254;

// The two hex digits at Text[Pos], Text[Pos + 1] as a number, or -1.
int HexPair(const std::string& Text, std::size_t Pos) {
    if (Text.size() < Pos + 2) {
        return -1;
    }
    const int high = platform::HexDigitValue(Text[Pos]);
    const int low = platform::HexDigitValue(Text[Pos + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

int RequestHexPair(const std::string& Request, std::size_t Pos) {
    const int value = HexPair(Request, Pos);
    if (value < 0) {
        const std::string digits = Request.size() > Pos ? Request.substr(Pos, 2) : std::string();
        throw EConvertError("'" + digits + "' is not a valid integer value");
    }
    return value;
}

}  // namespace

bool TMFRCommands::IsByteValue(int Value) { return Value >= 0 && Value <= 255; }

void TMFRCommands::BuildHeader(int Address, int Command, std::string& Text) {
    if (!IsByteValue(Address) || !IsByteValue(Command)) {
        Text = "ERROR";
        return;
    }
    char header[8];
    std::snprintf(header, sizeof header, "%cS%02X%02X%c", SOH, Address, Command, STX);
    FFrame = header;
    Text = FFrame;
}

const std::string& TMFRCommands::BuildFrame(int Address, int Command, const std::string& Data) {
    std::string header;
    BuildHeader(Address, Command, header);
    FFrame += Data;
    FFrame += ETX;
    std::string framed;
    CheckCharacter(framed, FFrame, 1);
    FFrame = framed;
    return FFrame;
}

const std::string& TMFRCommands::BuildReadCardFrame(unsigned char Address) {
    return BuildFrame(Address, ReadCardCommand, "");
}

const std::string& TMFRCommands::BuildDeviceNameFrame(unsigned char Address) {
    return BuildFrame(Address, DeviceNameCommand, "2");
}

void TMFRCommands::CheckCharacter(std::string& Result, const std::string& Text, int Mode) {
    Result.clear();
    if (Text.empty()) {
        return;
    }
    unsigned char check = static_cast<unsigned char>(Text[0]);
    std::size_t next = 1;
    while (Text[next - 1] != ETX && next < CheckScanLimit && next < Text.size()) {
        check ^= static_cast<unsigned char>(Text[next]);
        ++next;
    }
    check |= 0x20;
    if (Mode == 1) {
        Result = Text + static_cast<char>(check);
        return;
    }
    if (Text[next - 1] != ETX || next >= Text.size()) {
        return;
    }
    Result = std::string(1, static_cast<char>(std::abs(check - static_cast<unsigned char>(Text[next]))));
}

void TMFRCommands::ExtractFrame(std::string& Result, const std::string& Answer) {
    Result.clear();
    const auto start = Answer.find(SOH);
    if (start == std::string::npos) {
        return;
    }
    const auto etx = Answer.find(ETX, start);
    const std::size_t end = etx == std::string::npos ? Answer.size() : std::min(etx + 2, Answer.size());
    Result = Answer.substr(start, end - start);
}

void TMFRCommands::ParseAnswer(std::string& Status, const std::string& Answer, const std::string& Request,
                               std::string& Data) const {
    const int address = RequestHexPair(Request, 2);
    const int command = RequestHexPair(Request, 4);
    Data.clear();
    Status = "ERROR";

    std::string frame;
    ExtractFrame(frame, Answer);
    if (frame.size() < ShortestFrame) {
        return;
    }
    std::string check;
    if (frame[0] != SOH || frame[6] != STX || frame[1] != 's') {
        return;
    }
    CheckCharacter(check, frame, 2);
    if (check != std::string(1, '\0') || HexPair(frame, 2) != address || HexPair(frame, 4) != command) {
        return;
    }
    Data = frame.substr(7, frame.find(ETX, 7) - 7);
    Status = "OK";
}

}  // namespace reader
