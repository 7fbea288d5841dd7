#include "platform/version_block.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class VersionBlockFile : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() / ("zt_version_" + std::to_string(::getpid()));
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }

    fs::path Path(const char* name) const { return FFolder / name; }
    // This test program's file (in a shell command /proc/self/exe would be the shell's).
    static std::string Self() { return fs::read_symlink("/proc/self/exe").string(); }

    fs::path FFolder;
};

TEST_F(VersionBlockFile, FindsTheBlockOfTheRunningProgram) {
    ZtVersionBlock block{};
    ASSERT_EQ(ZtReadVersionBlock("/proc/self/exe", &block), 1);
    EXPECT_EQ(std::string(block.signature, ZT_VERSION_SIGNATURE_SIZE), ZT_VERSION_SIGNATURE);
}

TEST_F(VersionBlockFile, FilesWithoutABlockHaveNone) {
    const auto stripped = Path("stripped");
    const std::string command =
        std::string(OBJCOPY) + " --remove-section=.zt_version " + Self() + " " + stripped.string();
    ASSERT_EQ(std::system(command.c_str()), 0);

    const auto text = Path("text");
    std::ofstream(text) << "not an ELF file";

    const auto truncated = Path("truncated");
    fs::copy_file("/proc/self/exe", truncated);
    fs::resize_file(truncated, 100);

    ZtVersionBlock block{};
    for (const auto& path : {stripped, text, truncated, Path("missing"), fs::path("/")}) {
        EXPECT_EQ(ZtReadVersionBlock(path.c_str(), &block), 0) << path;
    }
    EXPECT_EQ(ZtReadVersionBlock(nullptr, &block), 0);
}

TEST_F(VersionBlockFile, ABlockWithAWrongSignatureIsRejected) {
    const auto block = Path("block");
    std::ofstream(block, std::ios::binary) << "ZTVERSN2" << std::string(8, '\1');
    const auto changed = Path("changed");
    const std::string command = std::string(OBJCOPY) + " --update-section=.zt_version=" + block.string() + " " +
                                Self() + " " + changed.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    ZtVersionBlock read{};
    EXPECT_EQ(ZtReadVersionBlock(changed.c_str(), &read), 0);
}

}  // namespace
