#include "d2xx_binding.h"

#include <array>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace reader {

namespace {

// Every name the library must export, in binding order. FT_GetComPortNumber
// is the one optional name: FTDI ships it for Windows only.
constexpr std::string_view OptionalName = "FT_GetComPortNumber";
constexpr std::array<const char*, 49> D2XXNames = {
    "FT_ListDevices",
    "FT_Open",
    "FT_OpenEx",
    "FT_Close",
    "FT_Read",
    "FT_Write",
    "FT_ResetDevice",
    "FT_SetBaudRate",
    "FT_SetDivisor",
    "FT_SetDataCharacteristics",
    "FT_SetFlowControl",
    "FT_SetDtr",
    "FT_ClrDtr",
    "FT_SetRts",
    "FT_ClrRts",
    "FT_GetModemStatus",
    "FT_SetChars",
    "FT_Purge",
    "FT_SetTimeouts",
    "FT_GetQueueStatus",
    "FT_SetBreakOn",
    "FT_SetBreakOff",
    "FT_GetStatus",
    "FT_SetEventNotification",
    "FT_GetDeviceInfo",
    "FT_SetResetPipeRetryCount",
    "FT_StopInTask",
    "FT_RestartInTask",
    "FT_ResetPort",
    "FT_CyclePort",
    "FT_CreateDeviceInfoList",
    "FT_GetDeviceInfoList",
    "FT_GetDeviceInfoDetail",
    "FT_GetDriverVersion",
    "FT_GetLibraryVersion",
    "FT_GetComPortNumber",
    "FT_EE_Read",
    "FT_EE_Program",
    "FT_ReadEE",
    "FT_WriteEE",
    "FT_EraseEE",
    "FT_EE_UARead",
    "FT_EE_UAWrite",
    "FT_EE_UASize",
    "FT_GetLatencyTimer",
    "FT_SetLatencyTimer",
    "FT_GetBitMode",
    "FT_SetBitMode",
    "FT_SetUSBParameters",
};

// Substitutes of the unbound state.
FT_STATUS NoDevices(void* Arg1, void* /*Arg2*/, DWORD Flags) {
    // Only the count query succeeds (with no devices); the by-index queries fail.
    if (Flags != FT_LIST_NUMBER_ONLY) {
        return FT_DEVICE_NOT_FOUND;
    }
    if (Arg1 != nullptr) {
        *static_cast<DWORD*>(Arg1) = 0;
    }
    return FT_OK;
}
FT_STATUS NotFoundOpen(void*, DWORD, FT_HANDLE*) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NotFound1(FT_HANDLE) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NotFoundTransfer(FT_HANDLE, void*, DWORD, DWORD*) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NotFoundDword(FT_HANDLE, DWORD) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NotFoundFlow(FT_HANDLE, uint16_t, uint8_t, uint8_t) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NotFoundPort(FT_HANDLE, int32_t*) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NotFoundByte(FT_HANDLE, uint8_t) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NotFoundBitMode(FT_HANDLE, uint8_t, uint8_t) { return FT_DEVICE_NOT_FOUND; }

// Stands in for FT_GetComPortNumber in a library that has no such entry.
FT_STATUS NoComPort(FT_HANDLE, int32_t* Port) {
    if (Port != nullptr) {
        *Port = -1;
    }
    return FT_OK;
}

constexpr TD2XXEntries Substitutes = {NoDevices,        NotFoundOpen,  NotFound1,      NotFoundTransfer,
                                      NotFoundTransfer, NotFoundDword, NotFoundFlow,   NotFoundDword,
                                      NotFoundPort,     NotFoundByte,  NotFoundBitMode};

template <typename F>
void** Slot(F& Entry) {
    return reinterpret_cast<void**>(&Entry);
}

// The slot of a called entry, or null for a name that is only looked up.
void** CalledSlot(TD2XXEntries& Entries, std::string_view Name) {
    const std::pair<std::string_view, void**> called[] = {
        {"FT_ListDevices", Slot(Entries.FT_ListDevices)},
        {"FT_OpenEx", Slot(Entries.FT_OpenEx)},
        {"FT_Close", Slot(Entries.FT_Close)},
        {"FT_Read", Slot(Entries.FT_Read)},
        {"FT_Write", Slot(Entries.FT_Write)},
        {"FT_SetBaudRate", Slot(Entries.FT_SetBaudRate)},
        {"FT_SetFlowControl", Slot(Entries.FT_SetFlowControl)},
        {"FT_Purge", Slot(Entries.FT_Purge)},
        {"FT_SetLatencyTimer", Slot(Entries.FT_SetLatencyTimer)},
        {"FT_SetBitMode", Slot(Entries.FT_SetBitMode)},
    };
    for (const auto& [name, slot] : called) {
        if (name == Name) {
            return slot;
        }
    }
    return nullptr;
}

}  // namespace

TD2XXBinding::TD2XXBinding(std::unique_ptr<platform::DynamicLibrary> Library) : FEntries(Substitutes) {
    if (Library == nullptr) {
        return;
    }
    TD2XXEntries bound = Substitutes;
    std::array<void*, D2XXNames.size()> lookedUp{};
    std::vector<platform::EntryBinding> required;
    for (std::size_t i = 0; i < D2XXNames.size(); ++i) {
        if (D2XXNames[i] == OptionalName) {
            continue;
        }
        void** slot = CalledSlot(bound, D2XXNames[i]);
        required.push_back({D2XXNames[i], slot != nullptr ? slot : &lookedUp[i]});
    }
    if (!Library->BindAll(required)) {
        return;
    }
    if (void* port = Library->Entry(OptionalName.data())) {
        *Slot(bound.FT_GetComPortNumber) = port;
    } else {
        bound.FT_GetComPortNumber = NoComPort;
    }
    FEntries = bound;
    FLibrary = std::move(Library);
}

const TD2XXBinding& D2XX() {
    static const TD2XXBinding binding(platform::DynamicLibrary::Load("FTD2XX.DLL"));
    return binding;
}

}  // namespace reader
