#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "reader/d2xx_binding.h"

namespace reader {

// The FTDI path's exception: a message and an error code (2: no device
// named; 3: the HTRC chip could not be initialised).
class EFTDIError : public std::runtime_error {
public:
    EFTDIError(const std::string& Msg, int Code) : std::runtime_error(Msg), FErrorCode(Code) {}
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

// One FTDI device and its two transfer buffers. Each method makes one D2XX
// call through the binding and returns its status (0 = success) unless said
// otherwise. The object is used for one action: open, work, close.
class TD2XXObject {
public:
    static constexpr std::size_t BufferSize = 65536;

    explicit TD2XXObject(const TD2XXEntries& Entries = D2XX().Entries());
    virtual ~TD2XXObject() = default;
    TD2XXObject(const TD2XXObject&) = delete;
    TD2XXObject& operator=(const TD2XXObject&) = delete;

    FT_STATUS GetFTDeviceCount();
    FT_STATUS GetFTDeviceSerialNo(DWORD Index);
    FT_STATUS GetFTDeviceDescription(DWORD Index);
    FT_STATUS Open_USB_Device_By_Serial_Number(const std::string& Serial);
    FT_STATUS CloseDevice();
    // Both return the number of bytes moved.
    int ReadBytes(int N);
    int SendBytes(int N);
    FT_STATUS SetBaudRate();
    FT_STATUS SetFlowControl();
    FT_STATUS PurgeRX();
    FT_STATUS PurgeTX();
    FT_STATUS SetLatency(uint8_t Ms);
    FT_STATUS SetBitMode(uint8_t Mask, uint8_t Mode);
    // Opens the device, asks its COM port number (-2 until known) and closes it.
    FT_STATUS GetComPort(const std::string& Serial, int32_t& Port);
    void GetDeviceInfo(DWORD Index, std::string& Serial, std::string& Description, std::string& Port);

    FT_HANDLE Handle() const { return FHandle; }
    DWORD DeviceCount() const { return FDeviceCount; }
    const std::string& ListText() const { return FListText; }
    const char* SerialToOpen() const { return FSerialToOpen.data(); }
    std::vector<uint8_t>& RxBuffer() { return FRxBuffer; }
    std::vector<uint8_t>& TxBuffer() { return FTxBuffer; }

    int BaudRate = 0;
    uint16_t FlowControl = 0;
    uint8_t XonChar = 0x11;
    uint8_t XoffChar = 0x13;

protected:
    const TD2XXEntries& FEntries;

private:
    FT_STATUS ListByIndex(DWORD Index, DWORD Flags, std::size_t MaxLength);

    FT_HANDLE FHandle = nullptr;
    std::vector<uint8_t> FRxBuffer;
    std::vector<uint8_t> FTxBuffer;
    DWORD FDeviceCount = 0;
    std::array<char, 50> FSerialToOpen{};
    std::string FListText;
};

// Static operations over the attached FTDI devices.
class TFTDIUtils {
public:
    // Opens the device, sets the latency timer to 16 ms and switches the CBUS
    // pins of Mask to outputs with the levels of Value (CBUS bit-bang mode).
    static bool WriteCBUS(const std::string& Serial, uint8_t Mask, uint8_t Value,
                          const TD2XXEntries& Entries = D2XX().Entries());
    // Lists the devices of Kind (0 = all) into the lists that are given; 0, or
    // -1000 when the device count cannot be read.
    static int ListFtdiDevices(std::vector<std::string>* Serials, std::vector<std::string>* Descriptions,
                               std::vector<std::string>* Ports, uint8_t Kind,
                               const TD2XXEntries& Entries = D2XX().Entries());
    // The device kind from the description alone (1 "KEV-1" ... 7 "MDV-5", 0 none).
    static uint8_t GetDeviceKind(const std::string& Serial, const std::string& Description);
    // "(COMn)" for a number of 0 or more, "No COM" for -1, else "D2XX Error".
    static std::string PortText(int32_t Port);
};

}  // namespace reader
