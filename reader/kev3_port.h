#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "reader/voxa_channel.h"

namespace reader {

// A failure reported by the reader driver library. The message is the
// library's file name ("libTalvoKEV3.so"), a blank, the operation ("open",
// "close", "read", "write"), a blank and the status text.
class EKEV3Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of a driver status, or null for a status that has none (0 and
// every status the tool does not name).
const char* KEV3StatusText(int32_t Status);

// The channel over the reader driver library. A port name is "HID" and the
// device number (driver index + 1), optionally followed by a blank and more
// text; the text after the last blank of such a name is the serial number the
// caller expects at that index. Without the library every operation is inert.
class TKEV3Port : public TVOXAChannel {
public:
    static constexpr int WriteTimeoutMs = 200;

    TKEV3Port();

    // Selects the device; an open channel is closed and reopened on the new
    // device. A name without "HID" leaves the selection and the channel
    // closed. Digits after "HID" that are not a number raise EConvertError.
    void SetPort(const std::string& Name) override;
    void GetPort(std::string& Name) const override;
    // Opens the selected device. A device at the selected index whose serial
    // number is not the one expected counts as not found.
    void Open() override;
    void Close() override;
    bool IsOpen() const override;
    void Configure(const std::string& Settings) override;
    bool IsAvailable() const override;
    int Read(std::span<char> Buffer, int TimeoutMs) override;
    int Write(std::span<const char> Buffer) override;
    // Appends "HID<n> (<model>) <serial>" for every attached device whose
    // details can be read; n is the driver index + 1.
    void EnumPorts(std::vector<std::string>& List) override;

    int32_t Index() const { return FIndex; }
    int32_t Handle() const { return FHandle; }

    // Closes the channel when a request ends, on every way out. A request
    // that ends normally calls Finish, so that a failing close reaches its
    // caller; one left by an exception closes quietly and lets that exception
    // pass. Either way the channel is closed afterwards: a close that fails
    // drops the handle.
    class TCloseGuard {
    public:
        explicit TCloseGuard(TKEV3Port& Port) : FPort(Port) {}
        ~TCloseGuard();
        TCloseGuard(const TCloseGuard&) = delete;
        TCloseGuard& operator=(const TCloseGuard&) = delete;
        void Finish();

    private:
        TKEV3Port& FPort;
        bool FFinished = false;
    };

protected:
    // Raises EKEV3Error for a status that has a text. Statuses 1 and 2 first
    // close the device once; when that close fails too, the handle is dropped
    // and the close's error is the one raised. Statuses 4 and 10 drop the
    // handle.
    void CheckStatus(int32_t Status, const char* Operation);

    // The description the driver library gives for a device index; returns
    // the library's status (16 when it is not loaded).
    static int32_t DescriptionOfIndex(int32_t DeviceIndex, std::string& Description);

private:
    int32_t FIndex;
    int32_t FHandle;
    // The serial number the selecting name expects at FIndex; empty: any.
    std::string FSerial;
};

// The model shown for a device description: "KEV-3", "KEV-4", "VQR58",
// "WQR58", "KEV-2" for an "EM Card Reader", else the description itself.
std::string KEV3Model(const std::string& Description);

}  // namespace reader
