#pragma once

// What the fuzz targets share: ending a run as a finding, and a scratch file
// for targets whose code under test reads files by name.

#include <stdlib.h>

#include <cstdio>
#include <string>

namespace fuzz {

// Ends the run as a finding when Condition does not hold.
inline void Require(bool Condition) {
    if (!Condition) {
        __builtin_trap();
    }
}

// Replaces the content of a file in a scratch folder of this process (made at
// the first call) with Bytes and returns the file's path.
inline const std::string& WriteScratchFile(const std::string& Bytes) {
    static const std::string path = [] {
        char folder[] = "/tmp/zt_fuzz_XXXXXX";
        Require(mkdtemp(folder) != nullptr);
        return std::string(folder) + "/scratch.ini";
    }();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr);
    Require(std::fwrite(Bytes.data(), 1, Bytes.size(), file) == Bytes.size());
    Require(std::fclose(file) == 0);
    return path;
}

}  // namespace fuzz
