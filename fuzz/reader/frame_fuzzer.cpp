// Checks arbitrary reader answers against the tool's two requests and holds
// the verdict to one worked out here on its own: the answer is taken exactly
// when its first frame has the right layout, the request's address and
// command, and a check character equal to the XOR of the bytes from SOH to
// ETX, OR 0x20; the data are the bytes between STX and ETX.
//
// Input: the request's address, a flag byte (bit 0: device-name request
// instead of read card; bit 1: put the right check character after the
// answer's first ETX, so that accepted answers are found), then the answer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/hex_digit.h"
#include "reader/mfr_commands.h"

namespace {

constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
// The check character combines at most this many bytes of a frame.
constexpr std::size_t CheckedBytes = 254;

bool IsNumber(const std::string& Text, std::size_t At, int Value) {
    const int high = platform::HexDigitValue(Text[At]);
    const int low = platform::HexDigitValue(Text[At + 1]);
    return high >= 0 && low >= 0 && high * 16 + low == Value;
}

char CheckCharacter(const std::string& Text, std::size_t From, std::size_t To) {
    unsigned char check = 0;
    for (std::size_t i = From; i <= To; ++i) {
        check ^= static_cast<unsigned char>(Text[i]);
    }
    return static_cast<char>(check | 0x20);
}

// The data of Answer when it answers the request for Address and Command.
std::optional<std::string> ExpectedData(const std::string& Answer, int Address, int Command) {
    const std::size_t soh = Answer.find(SOH);
    if (soh == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t etx = Answer.find(ETX, soh);
    if (etx == std::string::npos || etx + 1 >= Answer.size() || etx - soh < 7 || etx - soh >= CheckedBytes) {
        return std::nullopt;
    }
    if (Answer[soh + 1] != 's' || Answer[soh + 6] != STX || !IsNumber(Answer, soh + 2, Address) ||
        !IsNumber(Answer, soh + 4, Command) || Answer[etx + 1] != CheckCharacter(Answer, soh, etx)) {
        return std::nullopt;
    }
    return Answer.substr(soh + 7, etx - soh - 7);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint8_t address = data[0];
    const bool deviceName = (data[1] & 1) != 0;
    std::string answer(reinterpret_cast<const char*>(data + 2), size - 2);
    if ((data[1] & 2) != 0) {
        const std::size_t soh = answer.find(SOH);
        const std::size_t etx = soh == std::string::npos ? soh : answer.find(ETX, soh);
        if (etx != std::string::npos && etx + 1 < answer.size()) {
            answer[etx + 1] = CheckCharacter(answer, soh, etx);
        }
    }

    reader::TMFRCommands commands;
    const std::string request =
        deviceName ? commands.BuildDeviceNameFrame(address) : commands.BuildReadCardFrame(address);
    const int command = deviceName ? reader::TMFRCommands::DeviceNameCommand : reader::TMFRCommands::ReadCardCommand;
    std::string status;
    std::string parsed = "untouched";
    commands.ParseAnswer(status, answer, request, parsed);

    const std::optional<std::string> expected = ExpectedData(answer, address, command);
    fuzz::Require(expected ? status == "OK" && parsed == *expected : status == "ERROR" && parsed.empty());
    return 0;
}
