#include "reader/app_info_utils.h"

#include <gtest/gtest.h>

namespace reader {
namespace {

ZtVersionBlock Block(uint16_t major, uint16_t minor, uint16_t release, uint16_t build) {
    ZtVersionBlock block{};
    block.major = major;
    block.minor = minor;
    block.release = release;
    block.build = build;
    return block;
}

TEST(AppInfoUtils, FormatsTheBuildWithAtLeastThreeDigits) {
    EXPECT_EQ(TAppInfoUtils::FormatVersion(Block(1, 2, 3, 4)), "1.2.3.004");
    EXPECT_EQ(TAppInfoUtils::FormatVersion(Block(2, 0, 10, 1234)), "2.0.10.1234");
    EXPECT_EQ(TAppInfoUtils::FormatVersion(Block(65535, 65535, 65535, 65535)), "65535.65535.65535.65535");
}

TEST(AppInfoUtils, PadsTheLastGroup) {
    const std::pair<const char*, const char*> cases[] = {
        {"1.2.3.4", "1.2.3.004"}, {"1.2.3.1234", "1.2.3.1234"}, {"7", "007"}, {"", "000"},
        {"1.2.", "1.2.000"},      {"1.2.3.05", "1.2.3.005"},
    };
    for (const auto& [input, expected] : cases) {
        std::string result = "stale";
        TAppInfoUtils::PadBuildNumber(input, result);
        EXPECT_EQ(result, expected) << input;
    }
}

TEST(AppInfoUtils, ReadsTheVersionOfTheRunningProgram) {
    std::string version = "stale";
    TAppInfoUtils::GetAppVersion(version);
    std::string expected;
    TAppInfoUtils::PadBuildNumber(ZT_PROJECT_VERSION, expected);
    EXPECT_EQ(version, expected);
}

}  // namespace
}  // namespace reader
