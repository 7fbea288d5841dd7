#include "app_info_utils.h"

#include <cstdio>

namespace reader {

void TAppInfoUtils::GetAppVersion(std::string& Version) {
    Version.clear();
    ZtVersionBlock block;
    if (ZtReadVersionBlock("/proc/self/exe", &block)) {
        Version = FormatVersion(block);
    }
}

std::string TAppInfoUtils::FormatVersion(const ZtVersionBlock& Block) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%.3d", Block.major, Block.minor, Block.release, Block.build);
    return text;
}

void TAppInfoUtils::PadBuildNumber(const std::string& S, std::string& Result) {
    const auto lastPoint = S.rfind('.');
    const std::size_t headLength = lastPoint == std::string::npos ? 0 : lastPoint + 1;
    std::string tail = S.substr(headLength);
    if (tail.size() < 3) {
        tail.insert(0, 3 - tail.size(), '0');
    }
    Result = S.substr(0, headLength) + tail;
}

}  // namespace reader
