#pragma once

#include <stdexcept>
#include <string>

namespace reader {

// A text that should have been a number could not be converted.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Builds the reader frames the tool sends (read card, device name) and checks
// a reader's answer against the request that caused it.
//
// Frame: SOH, 'S' (request) or 's' (answer), address and command as two hex
// digits each, STX, data, ETX, check character (XOR of everything up to and
// including the ETX, OR 0x20).
class TMFRCommands {
public:
    static constexpr char SOH = 0x01;
    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr unsigned char ReadCardCommand = 0xA1;
    static constexpr unsigned char DeviceNameCommand = 0x00;

    // The returned frame stays valid until the next build on this object.
    const std::string& BuildReadCardFrame(unsigned char Address);
    const std::string& BuildDeviceNameFrame(unsigned char Address);

    // Status is "OK" with the answer's data field in Data when Answer is a
    // valid answer to Request; otherwise "ERROR" with Data empty. A Request
    // whose header digits are not hexadecimal raises EConvertError.
    void ParseAnswer(std::string& Status, const std::string& Answer, const std::string& Request,
                     std::string& Data) const;

    const std::string& Frame() const { return FFrame; }

private:
    static bool IsByteValue(int Value);
    void BuildHeader(int Address, int Command, std::string& Text);
    const std::string& BuildFrame(int Address, int Command, const std::string& Data);
    // Mode 1 appends the check character to Text. Any other mode verifies the
    // character after the ETX: Result is the single character 0 when it is
    // right, another character when it is wrong, and empty when Text has no
    // ETX or nothing after it.
    static void CheckCharacter(std::string& Result, const std::string& Text, int Mode);
    // The first frame in Answer: from the first SOH through the character after
    // the next ETX, or to the end of Answer when no ETX follows.
    static void ExtractFrame(std::string& Result, const std::string& Answer);

    std::string FFrame;
};

}  // namespace reader
