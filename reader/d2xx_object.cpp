#include "d2xx_object.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace reader {

namespace {

constexpr std::size_t MaxSerialLength = 16;
constexpr std::size_t MaxDescriptionLength = 64;
// Generous room for what the library writes into a by-index query's buffer.
constexpr std::size_t ListBufferSize = 256;

}  // namespace

TD2XXObject::TD2XXObject(const TD2XXEntries& Entries)
    : FEntries(Entries), FRxBuffer(BufferSize), FTxBuffer(BufferSize) {}

FT_STATUS TD2XXObject::GetFTDeviceCount() {
    return FEntries.FT_ListDevices(&FDeviceCount, nullptr, FT_LIST_NUMBER_ONLY);
}

FT_STATUS TD2XXObject::ListByIndex(DWORD Index, DWORD Flags, std::size_t MaxLength) {
    std::array<char, ListBufferSize> buffer{};
    // The by-index form passes the index in place of the first pointer.
    void* index = reinterpret_cast<void*>(static_cast<uintptr_t>(Index));  // NOLINT(performance-no-int-to-ptr)
    const FT_STATUS status = FEntries.FT_ListDevices(index, buffer.data(), Flags);
    if (status == FT_OK) {
        FListText.assign(buffer.data(), strnlen(buffer.data(), std::min(MaxLength, buffer.size() - 1)));
    }
    return status;
}

FT_STATUS TD2XXObject::GetFTDeviceSerialNo(DWORD Index) {
    return ListByIndex(Index, FT_LIST_BY_INDEX_SERIAL, MaxSerialLength);
}

FT_STATUS TD2XXObject::GetFTDeviceDescription(DWORD Index) {
    return ListByIndex(Index, FT_LIST_BY_INDEX_DESCRIPTION, MaxDescriptionLength);
}

FT_STATUS TD2XXObject::Open_USB_Device_By_Serial_Number(const std::string& Serial) {
    FSerialToOpen.fill(0);
    Serial.copy(FSerialToOpen.data(), FSerialToOpen.size() - 1);
    return FEntries.FT_OpenEx(FSerialToOpen.data(), FT_OPEN_BY_SERIAL_NUMBER, &FHandle);
}

FT_STATUS TD2XXObject::CloseDevice() { return FEntries.FT_Close(FHandle); }

int TD2XXObject::ReadBytes(int N) {
    DWORD count = 0;
    const auto wanted = static_cast<DWORD>(std::clamp<int>(N, 0, BufferSize));
    FEntries.FT_Read(FHandle, FRxBuffer.data(), wanted, &count);
    return static_cast<int>(std::min<DWORD>(count, wanted));
}

int TD2XXObject::SendBytes(int N) {
    DWORD count = 0;
    const auto wanted = static_cast<DWORD>(std::clamp<int>(N, 0, BufferSize));
    FEntries.FT_Write(FHandle, FTxBuffer.data(), wanted, &count);
    return static_cast<int>(std::min<DWORD>(count, wanted));
}

FT_STATUS TD2XXObject::SetBaudRate() { return FEntries.FT_SetBaudRate(FHandle, static_cast<DWORD>(BaudRate)); }

FT_STATUS TD2XXObject::SetFlowControl() { return FEntries.FT_SetFlowControl(FHandle, FlowControl, XonChar, XoffChar); }

FT_STATUS TD2XXObject::PurgeRX() { return FEntries.FT_Purge(FHandle, 1); }

FT_STATUS TD2XXObject::PurgeTX() { return FEntries.FT_Purge(FHandle, 2); }

FT_STATUS TD2XXObject::SetLatency(uint8_t Ms) { return FEntries.FT_SetLatencyTimer(FHandle, Ms); }

FT_STATUS TD2XXObject::SetBitMode(uint8_t Mask, uint8_t Mode) { return FEntries.FT_SetBitMode(FHandle, Mask, Mode); }

FT_STATUS TD2XXObject::GetComPort(const std::string& Serial, int32_t& Port) {
    Port = -2;
    FT_STATUS status = Open_USB_Device_By_Serial_Number(Serial);
    if (status == FT_OK) {
        status = FEntries.FT_GetComPortNumber(FHandle, &Port);
        CloseDevice();
    }
    return status;
}

void TD2XXObject::GetDeviceInfo(DWORD Index, std::string& Serial, std::string& Description, std::string& Port) {
    Serial.clear();
    Description.clear();
    Port.clear();
    if (GetFTDeviceCount() != FT_OK || Index >= FDeviceCount) {
        return;
    }
    if (GetFTDeviceSerialNo(Index) == FT_OK) {
        Serial = FListText;
    }
    int32_t number = 0;
    if (GetComPort(Serial, number) != FT_OK) {
        return;
    }
    Port = TFTDIUtils::PortText(number);
    if (GetFTDeviceDescription(Index) == FT_OK) {
        Description = FListText;
    }
}

bool TFTDIUtils::WriteCBUS(const std::string& Serial, uint8_t Mask, uint8_t Value, const TD2XXEntries& Entries) {
    TD2XXObject device(Entries);
    if (device.Open_USB_Device_By_Serial_Number(Serial) != FT_OK) {
        return false;
    }
    const uint8_t pins = static_cast<uint8_t>(((Mask & 0x0F) << 4) | (Value & 0x0F));
    const bool ok = device.SetLatency(16) == FT_OK && device.SetBitMode(pins, FT_MODE_CBUS_BITBANG) == FT_OK;
    device.CloseDevice();
    return ok;
}

int TFTDIUtils::ListFtdiDevices(std::vector<std::string>* Serials, std::vector<std::string>* Descriptions,
                                std::vector<std::string>* Ports, uint8_t Kind, const TD2XXEntries& Entries) {
    for (auto* list : {Serials, Descriptions, Ports}) {
        if (list != nullptr) {
            list->clear();
        }
    }
    TD2XXObject device(Entries);
    if (device.GetFTDeviceCount() != FT_OK) {
        return -1000;
    }
    const DWORD count = device.DeviceCount();
    for (DWORD index = 0; index < count; ++index) {
        std::string serial;
        std::string description;
        std::string port;
        device.GetDeviceInfo(index, serial, description, port);
        if (Kind != 0 && GetDeviceKind(serial, description) != Kind) {
            continue;
        }
        for (const char bracket : {'(', ')'}) {
            if (const auto at = port.find(bracket); at != std::string::npos) {
                port.erase(at, 1);
            }
        }
        if (Serials != nullptr) {
            Serials->push_back(serial);
        }
        if (Descriptions != nullptr) {
            Descriptions->push_back(description);
        }
        if (Ports != nullptr) {
            Ports->push_back(port);
        }
    }
    return 0;
}

uint8_t TFTDIUtils::GetDeviceKind(const std::string& /*Serial*/, const std::string& Description) {
    static constexpr const char* Kinds[] = {"KEV-1", "KEV-2", "KEV-3", "KEV-4", "MERLOK", "QX-7USB", "MDV-5"};
    std::string upper(Description);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (std::size_t i = 0; i < std::size(Kinds); ++i) {
        if (upper.find(Kinds[i]) != std::string::npos) {
            return static_cast<uint8_t>(i + 1);
        }
    }
    return 0;
}

std::string TFTDIUtils::PortText(int32_t Port) {
    if (Port >= 0) {
        return "(COM" + std::to_string(Port) + ")";
    }
    return Port == -1 ? "No COM" : "D2XX Error";
}

}  // namespace reader
