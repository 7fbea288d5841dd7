#include "reader/mifare_dll.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/dynamic_library.h"

namespace reader {
namespace {

// Every entry is a substitute: it returns 1 and writes nothing.
void ExpectSubstitutes() {
    char text[32] = "untouched";
    uint8_t length = 0x77;
    EXPECT_EQ(mifareLibVer(text, sizeof text), 1);
    EXPECT_EQ(readCardBufferHost(1, text, &length), 1);
    EXPECT_EQ(readCardBufferTerminal(1, "\x01s01A1\x02\x03", 9, text), 1);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(length, 0x77);
}

class MifareDLL : public ::testing::Test {
protected:
    void TearDown() override { FreeMifareDLL(); }
};

TEST_F(MifareDLL, SubstitutesBeforeLoading) { ExpectSubstitutes(); }

TEST_F(MifareDLL, AbsentLibraryLeavesTheSubstitutes) {
    LoadMifareDLL("NoSuchMifare.dll");
    EXPECT_FALSE(MifareDLLLoaded());
    ExpectSubstitutes();
}

// libTalvoMifareStub.so lies beside this test and lacks one entry.
TEST_F(MifareDLL, LibraryLackingAnEntryIsRefusedAndReleased) {
    const std::string stub = platform::ProgramFolder() + "/libTalvoMifareStub.so";
    LoadMifareDLL("TalvoMifareStub.dll");
    EXPECT_FALSE(MifareDLLLoaded());
    ExpectSubstitutes();
    EXPECT_EQ(dlopen(stub.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "the stub is still loaded";
}

// The real library is on this test's loader path.
TEST_F(MifareDLL, BindsTheCardLibrary) {
    LoadMifareDLL();
    ASSERT_TRUE(MifareDLLLoaded());
    char text[64] = "";
    EXPECT_EQ(mifareLibVer(text, sizeof text), 0);
    EXPECT_EQ(std::string(text).rfind("Talvo Mifare Lib ver - ", 0), 0u) << text;
    char frame[64];
    uint8_t length = 0;
    EXPECT_EQ(readCardBufferHost(1, frame, &length), 0);
    EXPECT_EQ(std::string(frame, length), std::string("\x01S01A1\x02\x03\"", 9));
    const char answer[] = "\x01s01A1\x02\x03\"";
    char code[18];
    EXPECT_EQ(readCardBufferTerminal(1, answer, 9, code), 5);

    FreeMifareDLL();
    EXPECT_FALSE(MifareDLLLoaded());
    ExpectSubstitutes();
}

}  // namespace
}  // namespace reader
