#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// The Linux file name of a run-time library known by its Windows name:
// "TalvoKEV3.dll" -> "libTalvoKEV3.so", "FTD2XX.DLL" -> "libftd2xx.so",
// "TalvoMifare.dll" -> "libTalvoMifare.so.1"; any other "Name.dll" -> "libName.so".
std::string LinuxLibraryName(std::string_view WindowsName);

// The folder that holds the running program's file, without a trailing "/".
std::string ProgramFolder();

// One entry to bind: its exported name and where to store its address.
struct EntryBinding {
    const char* Name;
    void** Slot;
};

// A run-time library, loaded by name and released when destroyed.
class DynamicLibrary {
public:
    // Loads the library from the program's folder, else through the dynamic
    // loader's search path (LD_LIBRARY_PATH, the system folders). Null when
    // neither has it.
    static std::unique_ptr<DynamicLibrary> Load(std::string_view WindowsName);

    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The entry's address, or null when the library lacks it.
    void* Entry(const char* Name) const;

    // All or nothing: stores every entry's address and returns true, or, when
    // any one is missing, stores none and returns false.
    bool BindAll(std::span<const EntryBinding> Entries) const;

    const std::string& FileName() const { return FFileName; }

private:
    DynamicLibrary(void* Handle, std::string FileName);

    void* FHandle;
    std::string FFileName;
};

}  // namespace platform
