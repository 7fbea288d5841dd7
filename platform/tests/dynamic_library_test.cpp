#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(DynamicLibrary, MapsWindowsNamesToLinuxFileNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"TalvoKEV3.dll", "libTalvoKEV3.so"},       {"FTD2XX.DLL", "libftd2xx.so"}, {"ftd2xx.dll", "libftd2xx.so"},
        {"TalvoMifare.dll", "libTalvoMifare.so.1"}, {"Other.DLL", "libOther.so"},   {"plain", "libplain.so"},
    };
    for (const auto& [windows, linux] : cases) {
        EXPECT_EQ(LinuxLibraryName(windows), linux) << windows;
    }
}

// The build puts libZtBeside.so next to this test and libZtOnPath.so in a
// folder that the test's LD_LIBRARY_PATH names.
TEST(DynamicLibrary, LoadsFromTheProgramFolderAndTheLoaderPath) {
    for (const char* name : {"ZtBeside.dll", "ZtOnPath.dll"}) {
        const auto library = DynamicLibrary::Load(name);
        ASSERT_NE(library, nullptr) << name;
        auto answer = reinterpret_cast<int (*)()>(library->Entry("ztTestAnswer"));
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);
        EXPECT_EQ(library->Entry("missingEntry"), nullptr);
    }
    EXPECT_EQ(DynamicLibrary::Load("NoSuchLibrary.dll"), nullptr);
}

TEST(DynamicLibrary, BindsAllEntriesOrNone) {
    const auto library = DynamicLibrary::Load("ZtBeside.dll");
    ASSERT_NE(library, nullptr);
    void* answer = nullptr;
    void* other = nullptr;
    const EntryBinding complete[] = {{"ztTestAnswer", &answer}, {"ztTestOther", &other}};
    EXPECT_TRUE(library->BindAll(complete));
    EXPECT_NE(answer, nullptr);
    EXPECT_NE(other, nullptr);

    void* first = nullptr;
    void* missing = nullptr;
    const EntryBinding incomplete[] = {{"ztTestAnswer", &first}, {"missingEntry", &missing}};
    EXPECT_FALSE(library->BindAll(incomplete));
    EXPECT_EQ(first, nullptr);
}

}  // namespace
}  // namespace platform
