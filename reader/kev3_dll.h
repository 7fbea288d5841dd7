#pragma once

#include "reader/kev3_api.h"

namespace reader {

// The driver library's name as the program asks for it; the file loaded is
// platform::LinuxLibraryName of it, libTalvoKEV3.so.
inline constexpr const char* KEV3DllName = "TalvoKEV3.dll";

// The twelve entries of the driver library, each pointing either into the
// loaded library or to a substitute. The substitutes answer every call with
// status 16 ("DLL not found error"); the one for kev3GetDeviceCount also
// reports 0 devices.
struct TKEV3Entries {
    decltype(&::kev3LibVer) kev3LibVer;
    decltype(&::kev3GetDeviceCount) kev3GetDeviceCount;
    decltype(&::kev3GetSerialNumber) kev3GetSerialNumber;
    decltype(&::kev3GetIndex) kev3GetIndex;
    decltype(&::kev3GetDescriptionBySerialNumber) kev3GetDescriptionBySerialNumber;
    decltype(&::kev3GetDescriptionByIndex) kev3GetDescriptionByIndex;
    decltype(&::kev3GetPort) kev3GetPort;
    decltype(&::kev3GetDeviceType) kev3GetDeviceType;
    decltype(&::kev3Open) kev3Open;
    decltype(&::kev3Close) kev3Close;
    decltype(&::kev3Write) kev3Write;
    decltype(&::kev3Read) kev3Read;
};

// The entries currently bound. Before LoadKEV3DLL and after UnloadKEV3DLL they
// are the substitutes.
const TKEV3Entries& KEV3DLL();

// Loads "TalvoKEV3.dll" and binds its twelve entries, all or none. A missing
// library, or one that lacks any entry, is silently left unloaded and the
// substitutes stay bound. Called once at program start, in the start-up order
// of the program's libraries; a later call reloads.
void LoadKEV3DLL();

// Releases the library and binds the substitutes again. Called at program end.
void UnloadKEV3DLL();

// True while the library is loaded with all of its entries.
bool IsKEV3DLLLoaded();

}  // namespace reader
