// Whole-file replacement: what it refuses, and what the new file keeps.

#include "platform/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace platform {
namespace {

class FileReplacementTest : public ::testing::Test {
protected:
    FileReplacementTest() {
        char folder[] = "/tmp/zt_replace_XXXXXX";
        FFolder = ::mkdtemp(folder);
    }
    ~FileReplacementTest() override { std::filesystem::remove_all(FFolder); }

    std::string Path(const std::string& Name) const { return FFolder + "/" + Name; }

    static std::string Read(const std::string& Path) {
        std::ifstream file(Path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    static void Write(const std::string& Path, const std::string& Bytes) { std::ofstream(Path) << Bytes; }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(FFolder)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }

    std::string FFolder;
};

// The temporary file is the owner's alone while it is written; the new file
// then has the old one's permissions, and its owner where the process may.
TEST_F(FileReplacementTest, TheNewFileIsPrivateUntilItTakesOverTheOldOnesModeAndOwner) {
    Write(Path("private.cfg"), "old");
    ASSERT_EQ(::chmod(Path("private.cfg").c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(Path("private.cfg").c_str(), 65534, 65534), 0);
    }
    FileReplacement file(Path("private.cfg"));
    ASSERT_TRUE(file.Write("new"));
    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 2U);
    const std::string temporary = names[0] == "private.cfg" ? names[1] : names[0];
    struct stat info {};
    ASSERT_EQ(::stat(Path(temporary).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600U) << temporary;

    ASSERT_TRUE(file.Commit());
    ASSERT_EQ(::stat(Path("private.cfg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534U);
        EXPECT_EQ(info.st_gid, 65534U);
    }
    EXPECT_EQ(Read(Path("private.cfg")), "new");
}

// Any name the folder takes can be replaced, up to the system's 255 bytes.
TEST_F(FileReplacementTest, TheLongestNamesWork) {
    const std::string name(255, 'n');
    EXPECT_EQ(ReplaceFile(Path(name), "first"), 0);
    EXPECT_EQ(ReplaceFile(Path(name), "second"), 0);
    EXPECT_EQ(Read(Path(name)), "second");
}

// Only regular files are replaced: a FIFO stays a FIFO. A link that names
// nothing is replaced by the new file.
TEST_F(FileReplacementTest, OnlyRegularFilesAreReplaced) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReplaceFile(Path("fifo"), "x"), NotRegularFile);
    struct stat info {};
    ASSERT_EQ(::lstat(Path("fifo").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    ASSERT_EQ(::symlink("missing", Path("dangling").c_str()), 0);
    EXPECT_EQ(ReplaceFile(Path("dangling"), "x"), 0);
    ASSERT_EQ(::lstat(Path("dangling").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(Names().size(), 2U) << "no temporary file is left";
}

}  // namespace
}  // namespace platform
