#include "kev3_port.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>

#include "platform/dynamic_library.h"
#include "reader/kev3_dll.h"
#include "reader/mfr_commands.h"

namespace reader {

namespace {

constexpr int32_t StatusGeneralError = 1;
constexpr int32_t StatusDeviceNotFound = 2;
constexpr int32_t StatusCannotOpen = 4;
constexpr int32_t StatusCannotClose = 10;

// A text buffer handed to the driver library, with one spare zero at the end
// so that a library filling all of it still leaves a terminated text.
class TKEV3Text {
public:
    char* Data() { return FChars.data(); }
    const char* CStr() const { return FChars.data(); }
    std::string Text() const { return {FChars.data(), strnlen(FChars.data(), KEV3_TEXT_SIZE)}; }

private:
    std::array<char, KEV3_TEXT_SIZE + 1> FChars{};
};

// Names the library file loaded, so the user knows which one failed.
std::string Message(const char* Operation, const char* Text) {
    return platform::LinuxLibraryName(KEV3DllName) + " " + Operation + " " + Text;
}

int32_t ToInteger(const std::string& Digits) {
    int64_t value = 0;
    const char* first = Digits.data();
    const char* last = first + Digits.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last || value <= INT32_MIN || value > INT32_MAX) {
        throw EConvertError("'" + Digits + "' is not a valid integer value");
    }
    return static_cast<int32_t>(value);
}

int32_t Size(std::size_t Count) { return static_cast<int32_t>(std::min<std::size_t>(Count, INT32_MAX)); }

// A count reported by the library, kept within what was asked for.
int Reported(int32_t Count, std::size_t Asked) { return std::clamp(Count, 0, Size(Asked)); }

}  // namespace

const char* KEV3StatusText(int32_t Status) {
    switch (Status) {
        case 1:
            return "General error";
        case 2:
            return "device not found";
        case 4:
            return "device cannot open";
        case 5:
            return "Invalid buffer size error";
        case 6:
            return "Vrel protocol error";
        case 7:
            return "Usb-Hid error";
        case 10:
            return "device cannot close";
        case 11:
            return "Write error";
        case 12:
            return "Read error";
        case 16:
            return "DLL not found error";
        default:
            return nullptr;
    }
}

std::string KEV3Model(const std::string& Description) {
    const std::pair<const char*, const char*> models[] = {
        {"KEV-3", "KEV-3"}, {"KEV-4", "KEV-4"}, {"VQR58", "VQR58"}, {"WQR58", "WQR58"}, {"EM Card Reader", "KEV-2"},
    };
    for (const auto& [marker, model] : models) {
        if (Description.find(marker) != std::string::npos) {
            return model;
        }
    }
    return Description;
}

TKEV3Port::TKEV3Port() : FIndex(IsKEV3DLLLoaded() ? -1 : 0), FHandle(IsKEV3DLLLoaded() ? -1 : 0) {}

void TKEV3Port::SetPort(const std::string& Name) {
    if (!IsKEV3DLLLoaded()) {
        return;
    }
    const bool wasOpen = IsOpen();
    Close();
    const auto hid = Name.find("HID");
    if (hid == std::string::npos) {
        return;
    }
    const auto digits = hid + 3;
    const auto blank = Name.find(' ', digits);
    FIndex = ToInteger(Name.substr(digits, blank == std::string::npos ? std::string::npos : blank - digits)) - 1;
    FSerial = blank == std::string::npos ? std::string() : Name.substr(Name.rfind(' ') + 1);
    if (wasOpen) {
        Open();
    }
}

void TKEV3Port::GetPort(std::string& Name) const {
    Name = IsKEV3DLLLoaded() ? "HID" + std::to_string(FIndex + 1) : std::string();
}

void TKEV3Port::Open() {
    if (!IsKEV3DLLLoaded()) {
        return;
    }
    TKEV3Text serial;
    CheckStatus(KEV3DLL().kev3GetSerialNumber(FIndex, 0, serial.Data()), "open");
    // After an unplug and replug the index may now belong to another reader.
    if (!FSerial.empty() && serial.Text() != FSerial) {
        CheckStatus(StatusDeviceNotFound, "open");
    }
    CheckStatus(KEV3DLL().kev3Open(&FHandle, serial.CStr()), "open");
}

void TKEV3Port::Close() {
    if (IsOpen()) {
        CheckStatus(KEV3DLL().kev3Close(&FHandle), "close");
    }
}

bool TKEV3Port::IsOpen() const { return IsKEV3DLLLoaded() && FHandle != -1; }

void TKEV3Port::Configure(const std::string& /*Settings*/) {}

bool TKEV3Port::IsAvailable() const { return IsKEV3DLLLoaded(); }

int TKEV3Port::Read(std::span<char> Buffer, int TimeoutMs) {
    if (!IsOpen()) {
        return 0;
    }
    int32_t count = 0;
    CheckStatus(KEV3DLL().kev3Read(&FHandle, Buffer.data(), Size(Buffer.size()), &count, TimeoutMs), "read");
    return Reported(count, Buffer.size());
}

int TKEV3Port::Write(std::span<const char> Buffer) {
    if (!IsOpen()) {
        return 0;
    }
    int32_t count = 0;
    CheckStatus(KEV3DLL().kev3Write(&FHandle, Buffer.data(), Size(Buffer.size()), &count, WriteTimeoutMs), "write");
    return Reported(count, Buffer.size());
}

void TKEV3Port::EnumPorts(std::vector<std::string>& List) {
    if (!IsKEV3DLLLoaded()) {
        return;
    }
    const TKEV3Entries& dll = KEV3DLL();
    int32_t count = 0;
    if (dll.kev3GetDeviceCount(&count, 0) != 0) {
        count = 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        TKEV3Text serial;
        TKEV3Text port;
        TKEV3Text description;
        int32_t type = 0;
        // The type and the port name are asked for but not used.
        if (dll.kev3GetSerialNumber(i, 0, serial.Data()) != 0 || dll.kev3GetDeviceType(serial.CStr(), &type) != 0 ||
            dll.kev3GetPort(serial.CStr(), port.Data()) != 0 ||
            dll.kev3GetDescriptionBySerialNumber(serial.CStr(), description.Data()) != 0) {
            continue;
        }
        List.push_back("HID" + std::to_string(i + 1) + " (" + KEV3Model(description.Text()) + ") " + serial.Text());
    }
}

int32_t TKEV3Port::DescriptionOfIndex(int32_t DeviceIndex, std::string& Description) {
    TKEV3Text text;
    const int32_t status = KEV3DLL().kev3GetDescriptionByIndex(DeviceIndex, 0, text.Data());
    Description = text.Text();
    return status;
}

void TKEV3Port::CheckStatus(int32_t Status, const char* Operation) {
    const char* text = KEV3StatusText(Status);
    if (text == nullptr) {
        return;
    }
    if (Status == StatusGeneralError || Status == StatusDeviceNotFound) {
        // One close, not a close that checks its own status the same way: a
        // library that keeps failing the close would otherwise never stop.
        if (IsOpen()) {
            const int32_t closeStatus = KEV3DLL().kev3Close(&FHandle);
            if (const char* closeText = KEV3StatusText(closeStatus)) {
                FHandle = -1;
                throw EKEV3Error(Message("close", closeText));
            }
        }
    } else if (Status == StatusCannotOpen || Status == StatusCannotClose) {
        FHandle = -1;
    }
    throw EKEV3Error(Message(Operation, text));
}

TKEV3Port::TCloseGuard::~TCloseGuard() {
    if (FFinished) {
        return;
    }
    try {
        FPort.Close();
    } catch (...) {
        FPort.FHandle = -1;
    }
}

void TKEV3Port::TCloseGuard::Finish() {
    FFinished = true;
    try {
        FPort.Close();
    } catch (...) {
        FPort.FHandle = -1;
        throw;
    }
}

}  // namespace reader
