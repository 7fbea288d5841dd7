#include "kev3_dll.h"

#include <iterator>
#include <memory>

#include "platform/dynamic_library.h"
#include "reader/talvo_os_version.h"

namespace reader {

namespace {

constexpr int32_t DllNotFound = 16;

// Substitutes that take the place of every entry while the library is missing.
int32_t NoLibVer(char*) { return DllNotFound; }
int32_t NoDeviceCount(int32_t* Count, int32_t) {
    if (Count != nullptr) {
        *Count = 0;
    }
    return DllNotFound;
}
int32_t NoSerialNumber(int32_t, int32_t, char*) { return DllNotFound; }
int32_t NoIndex(const char*, int32_t*) { return DllNotFound; }
int32_t NoDescriptionBySerial(const char*, char*) { return DllNotFound; }
int32_t NoDescriptionByIndex(int32_t, int32_t, char*) { return DllNotFound; }
int32_t NoPort(const char*, char*) { return DllNotFound; }
int32_t NoDeviceType(const char*, int32_t*) { return DllNotFound; }
int32_t NoOpen(int32_t*, const char*) { return DllNotFound; }
int32_t NoClose(int32_t*) { return DllNotFound; }
int32_t NoWrite(int32_t*, const void*, int32_t, int32_t*, int32_t) { return DllNotFound; }
int32_t NoRead(int32_t*, void*, int32_t, int32_t*, int32_t) { return DllNotFound; }

constexpr TKEV3Entries Substitutes{
    NoLibVer, NoDeviceCount, NoSerialNumber, NoIndex, NoDescriptionBySerial, NoDescriptionByIndex, NoPort, NoDeviceType,
    NoOpen,   NoClose,       NoWrite,        NoRead,
};

// The binding state: the loaded library (null when not loaded) and the entries.
std::unique_ptr<platform::DynamicLibrary> Library;
TKEV3Entries Entries = Substitutes;

template <typename Entry>
void Take(Entry& Target, void* Address) {
    Target = reinterpret_cast<Entry>(Address);
}

}  // namespace

const TKEV3Entries& KEV3DLL() { return Entries; }

bool IsKEV3DLLLoaded() { return Library != nullptr; }

void UnloadKEV3DLL() {
    Entries = Substitutes;
    Library.reset();
}

void LoadKEV3DLL() {
    UnloadKEV3DLL();
    TTalvoOSVersion version;
    GetWindowsVersion(version);
    if (!KEV3DLLSupportedOn(version)) {
        return;
    }
    auto library = platform::DynamicLibrary::Load("TalvoKEV3.dll");
    if (library == nullptr) {
        return;
    }
    // Looked up in this order; the first one missing leaves the library unloaded.
    static constexpr const char* Names[] = {
        "kev3LibVer",
        "kev3GetDeviceCount",
        "kev3GetSerialNumber",
        "kev3GetIndex",
        "kev3GetDescriptionBySerialNumber",
        "kev3GetDescriptionByIndex",
        "kev3GetPort",
        "kev3GetDeviceType",
        "kev3Open",
        "kev3Close",
        "kev3Write",
        "kev3Read",
    };
    void* found[std::size(Names)] = {};
    platform::EntryBinding bindings[std::size(Names)];
    for (std::size_t i = 0; i < std::size(Names); ++i) {
        bindings[i] = {Names[i], &found[i]};
    }
    if (!library->BindAll(bindings)) {
        return;
    }
    TKEV3Entries bound{};
    Take(bound.kev3LibVer, found[0]);
    Take(bound.kev3GetDeviceCount, found[1]);
    Take(bound.kev3GetSerialNumber, found[2]);
    Take(bound.kev3GetIndex, found[3]);
    Take(bound.kev3GetDescriptionBySerialNumber, found[4]);
    Take(bound.kev3GetDescriptionByIndex, found[5]);
    Take(bound.kev3GetPort, found[6]);
    Take(bound.kev3GetDeviceType, found[7]);
    Take(bound.kev3Open, found[8]);
    Take(bound.kev3Close, found[9]);
    Take(bound.kev3Write, found[10]);
    Take(bound.kev3Read, found[11]);
    Entries = bound;
    Library = std::move(library);
}

}  // namespace reader
