#include "dynamic_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace platform {

namespace {

std::string Lower(std::string_view Text) {
    std::string result(Text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

void* Open(const std::string& Name) { return dlopen(Name.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

std::string LinuxLibraryName(std::string_view WindowsName) {
    const std::string lower = Lower(WindowsName);
    if (lower == "ftd2xx.dll") {
        return "libftd2xx.so";
    }
    if (lower == "talvomifare.dll") {
        return "libTalvoMifare.so.1";
    }
    std::string_view stem = WindowsName;
    if (lower.size() > 4 && lower.ends_with(".dll")) {
        stem.remove_suffix(4);
    }
    return "lib" + std::string(stem) + ".so";
}

std::string ProgramFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : program.parent_path().string();
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(std::string_view WindowsName) {
    const std::string fileName = LinuxLibraryName(WindowsName);
    const std::string besideProgram = ProgramFolder() + "/" + fileName;
    void* handle = std::filesystem::exists(besideProgram) ? Open(besideProgram) : nullptr;
    if (handle == nullptr) {
        handle = Open(fileName);
    }
    if (handle == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, fileName));
}

DynamicLibrary::DynamicLibrary(void* Handle, std::string FileName) : FHandle(Handle), FFileName(std::move(FileName)) {}

DynamicLibrary::~DynamicLibrary() { dlclose(FHandle); }

void* DynamicLibrary::Entry(const char* Name) const { return dlsym(FHandle, Name); }

bool DynamicLibrary::BindAll(std::span<const EntryBinding> Entries) const {
    std::vector<void*> found;
    found.reserve(Entries.size());
    for (const auto& entry : Entries) {
        void* address = Entry(entry.Name);
        if (address == nullptr) {
            return false;
        }
        found.push_back(address);
    }
    for (std::size_t i = 0; i < Entries.size(); ++i) {
        *Entries[i].Slot = found[i];
    }
    return true;
}

}  // namespace platform
