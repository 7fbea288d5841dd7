#pragma once

#include <string>

#include "platform/version_block.h"

namespace reader {

// The program's version as text, from the version block of its own file.
class TAppInfoUtils {
public:
    // "major.minor.release.build" with the build at least three digits, or empty
    // when the program file has no version block.
    static void GetAppVersion(std::string& Version);

    // S with the part after its last "." left-padded with "0" to three
    // characters; without a "." the whole text is padded.
    static void PadBuildNumber(const std::string& S, std::string& Result);

    static std::string FormatVersion(const ZtVersionBlock& Block);
};

}  // namespace reader
