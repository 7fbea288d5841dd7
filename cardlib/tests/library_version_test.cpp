#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "talvo_mifare.h"

namespace {

const std::string Expected = std::string("Talvo Mifare Lib ver - ") + ZT_PROJECT_VERSION;

TEST(LibraryVersion, WritesTheWholeTextWhenItFits) {
    ASSERT_EQ(Expected.size(), 30u);
    char text[40];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(mifareLibVer(text, 31), 0);
    EXPECT_EQ(std::string(text), Expected);
}

TEST(LibraryVersion, CutsTheTextWhenTheBufferIsShort) {
    const std::pair<int, std::string> cases[] = {{30, Expected.substr(0, 29)}, {1, ""}};
    for (const auto& [size, text] : cases) {
        char buffer[40];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(mifareLibVer(buffer, size), 1) << size;
        EXPECT_EQ(std::string(buffer), text) << size;
    }
}

TEST(LibraryVersion, WritesNothingWithoutRoom) {
    char buffer[4] = {'x', 'x', 'x', '\0'};
    EXPECT_EQ(mifareLibVer(buffer, 0), 1);
    EXPECT_EQ(mifareLibVer(buffer, -1), 1);
    EXPECT_EQ(std::string(buffer), "xxx");
    EXPECT_EQ(mifareLibVer(nullptr, 10), 1);
}

// Loads a copy of the library changed by objcopy and asks it for its version.
int VersionOfCopy(const std::string& objcopyArguments, char* text, int size) {
    const auto folder = std::filesystem::temp_directory_path() / ("talvo_copy_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto copy = folder / "libTalvoMifare.so.1";
    const std::string command =
        std::string(OBJCOPY) + " " + objcopyArguments + " " + TALVO_MIFARE_FILE + " " + copy.string();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << dlerror();
    int result = -1;
    if (library != nullptr) {
        auto entry = reinterpret_cast<decltype(&mifareLibVer)>(dlsym(library, "mifareLibVer"));
        result = entry(text, size);
        dlclose(library);
    }
    std::filesystem::remove_all(folder);
    return result;
}

TEST(LibraryVersion, ACopyWithoutTheSectionHasNoVersion) {
    char text[64] = "untouched";
    EXPECT_EQ(VersionOfCopy("--remove-section=.zt_version", text, sizeof text), 1);
    EXPECT_STREQ(text, "untouched");
}

TEST(LibraryVersion, ReportsItsOwnFileNotAnotherCopy) {
    // The block: signature, then major 2, minor 7, release 1, build 300 (little-endian).
    const auto block = std::filesystem::temp_directory_path() / "talvo_block.bin";
    {
        FILE* file = std::fopen(block.c_str(), "wb");
        const unsigned char bytes[] = {'Z', 'T', 'V', 'E', 'R', 'S', 'N', '1', 2, 0, 7, 0, 1, 0, 0x2C, 0x01};
        std::fwrite(bytes, 1, sizeof bytes, file);
        std::fclose(file);
    }
    char text[64] = "";
    EXPECT_EQ(VersionOfCopy("--update-section=.zt_version=" + block.string(), text, sizeof text), 0);
    EXPECT_STREQ(text, "Talvo Mifare Lib ver - 2.7.1.300");
    std::filesystem::remove(block);
    // The library this test is linked against is untouched by the copy.
    char own[64];
    EXPECT_EQ(mifareLibVer(own, sizeof own), 0);
    EXPECT_EQ(std::string(own), Expected);
}

}  // namespace
