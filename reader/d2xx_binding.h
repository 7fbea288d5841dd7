#pragma once

#include <cstdint>
#include <memory>

#include "platform/dynamic_library.h"
#include "reader/d2xx_api.h"

namespace reader {

// The entries the reader code calls, one pointer per name. The library's
// other entries are looked up only to decide whether it is complete.
struct TD2XXEntries {
    FT_STATUS (*FT_ListDevices)(void* Arg1, void* Arg2, DWORD Flags);
    FT_STATUS (*FT_OpenEx)(void* Arg, DWORD Flags, FT_HANDLE* Handle);
    FT_STATUS (*FT_Close)(FT_HANDLE Handle);
    FT_STATUS (*FT_Read)(FT_HANDLE Handle, void* Buffer, DWORD Count, DWORD* Received);
    FT_STATUS (*FT_Write)(FT_HANDLE Handle, void* Buffer, DWORD Count, DWORD* Written);
    FT_STATUS (*FT_SetBaudRate)(FT_HANDLE Handle, DWORD BaudRate);
    FT_STATUS (*FT_SetFlowControl)(FT_HANDLE Handle, uint16_t Mode, uint8_t Xon, uint8_t Xoff);
    FT_STATUS (*FT_Purge)(FT_HANDLE Handle, DWORD Mask);
    FT_STATUS (*FT_GetComPortNumber)(FT_HANDLE Handle, int32_t* Port);
    FT_STATUS (*FT_SetLatencyTimer)(FT_HANDLE Handle, uint8_t Ms);
    FT_STATUS (*FT_SetBitMode)(FT_HANDLE Handle, uint8_t Mask, uint8_t Mode);
};

// A D2XX binding: the library (null when unbound) and its entry table. When
// the library is missing or lacks any required name, every entry is a
// substitute: the device count is 0 and everything else fails with status 2.
// A library without FT_GetComPortNumber (the Linux build of D2XX has none)
// still binds; that one entry then reports no COM port (-1).
class TD2XXBinding {
public:
    explicit TD2XXBinding(std::unique_ptr<platform::DynamicLibrary> Library);

    bool Bound() const { return FLibrary != nullptr; }
    const TD2XXEntries& Entries() const { return FEntries; }

private:
    std::unique_ptr<platform::DynamicLibrary> FLibrary;
    TD2XXEntries FEntries;
};

// The program's binding of "FTD2XX.DLL", made on first use and kept until the
// program ends.
const TD2XXBinding& D2XX();

}  // namespace reader
