#include "kev3_dll.h"

#include <iterator>
#include <memory>
#include <type_traits>

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

// Stores an entry's address in its typed place.
using TSetter = void (*)(TKEV3Entries&, void*);
template <auto Member>
void SetEntry(TKEV3Entries& Target, void* Address) {
    Target.*Member = reinterpret_cast<std::remove_reference_t<decltype(Target.*Member)>>(Address);
}

// The entries in the order they are looked up; the first one missing leaves
// the library unloaded.
struct TEntryName {
    const char* Name;
    TSetter Set;
};
constexpr TEntryName EntryNames[] = {
    {"kev3LibVer", SetEntry<&TKEV3Entries::kev3LibVer>},
    {"kev3GetDeviceCount", SetEntry<&TKEV3Entries::kev3GetDeviceCount>},
    {"kev3GetSerialNumber", SetEntry<&TKEV3Entries::kev3GetSerialNumber>},
    {"kev3GetIndex", SetEntry<&TKEV3Entries::kev3GetIndex>},
    {"kev3GetDescriptionBySerialNumber", SetEntry<&TKEV3Entries::kev3GetDescriptionBySerialNumber>},
    {"kev3GetDescriptionByIndex", SetEntry<&TKEV3Entries::kev3GetDescriptionByIndex>},
    {"kev3GetPort", SetEntry<&TKEV3Entries::kev3GetPort>},
    {"kev3GetDeviceType", SetEntry<&TKEV3Entries::kev3GetDeviceType>},
    {"kev3Open", SetEntry<&TKEV3Entries::kev3Open>},
    {"kev3Close", SetEntry<&TKEV3Entries::kev3Close>},
    {"kev3Write", SetEntry<&TKEV3Entries::kev3Write>},
    {"kev3Read", SetEntry<&TKEV3Entries::kev3Read>},
};
constexpr std::size_t EntryCount = std::size(EntryNames);

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
    auto library = platform::DynamicLibrary::Load(KEV3DllName);
    if (library == nullptr) {
        return;
    }
    void* found[EntryCount] = {};
    platform::EntryBinding bindings[EntryCount];
    for (std::size_t i = 0; i < EntryCount; ++i) {
        bindings[i] = {EntryNames[i].Name, &found[i]};
    }
    if (!library->BindAll(bindings)) {
        return;
    }
    TKEV3Entries bound{};
    for (std::size_t i = 0; i < EntryCount; ++i) {
        EntryNames[i].Set(bound, found[i]);
    }
    Entries = bound;
    Library = std::move(library);
}

}  // namespace reader
