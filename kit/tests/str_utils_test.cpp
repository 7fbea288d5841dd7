#include "kit/str_utils.h"

#include <gtest/gtest.h>

#include <array>

namespace kit {
namespace {

TEST(StrUtils, SubstituteAllReplacesWithoutRescanning) {
    struct TCase {
        const char* Text;
        const char* Pattern;
        const char* Replacement;
        const char* Expected;
    };
    const TCase cases[] = {
        {"aaa", "aa", "b", "ba"},           {"1,5", ",", ".", "1.5"}, {"abc", "", "x", "abc"},
        {"abab", "ab", "abab", "abababab"}, {"", "a", "b", ""},       {"xyz", "q", "r", "xyz"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(SubstituteAll(c.Text, c.Pattern, c.Replacement), c.Expected) << c.Text << " / " << c.Pattern;
    }
}

TEST(StrUtils, WordsAreRunsBetweenDelimiters) {
    const QString delimiters = " ,[]";
    struct TCase {
        const char* Text;
        int Count;
        int SecondStart;
        const char* Second;
    };
    const TCase cases[] = {
        {"[a,c]", 2, 4, "c"}, {" , [] ", 0, 0, ""}, {"one", 1, 0, ""}, {"[ c , a ]", 2, 7, "a"}, {"", 0, 0, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CountWords(c.Text, delimiters), c.Count) << c.Text;
        EXPECT_EQ(FindWordStart(2, c.Text, delimiters), c.SecondStart) << c.Text;
        EXPECT_EQ(PickWord(2, c.Text, delimiters), c.Second) << c.Text;
    }
    EXPECT_EQ(PickWord(1, "12,34,56,78", ","), "12");
    EXPECT_EQ(PickWord(5, "12,34,56,78", ","), "");
}

TEST(StrUtils, XorHexRoundTripsEveryByteValueUnderAnyKey) {
    QString all;
    for (int code = 0; code < 256; ++code) {
        all += QChar(code);
    }
    for (const char* key : {"", "k", "secret key", "\xC3\xA4\xC3\xB6"}) {
        const QString hex = XorToHex(QString::fromUtf8(key), all);
        EXPECT_EQ(hex, hex.toLower());
        EXPECT_EQ(XorFromHex(QString::fromUtf8(key), hex), all) << key;
    }
}

TEST(StrUtils, XorHexEncodingDetails) {
    EXPECT_EQ(XorToHex("", "AZ"), "415a");
    EXPECT_EQ(XorToHex("\x01", "AB"), "4043");
    EXPECT_EQ(XorFromHex("", "zz"), " ");
    EXPECT_EQ(XorFromHex("\x01", "zz"), "!");
    EXPECT_EQ(XorFromHex("", "41425"), "AB");
    EXPECT_EQ(XorFromHex("", "+1"), " ");
}

// Bytes that end inside a UTF-8 sequence are no UTF-8: each pair becomes one
// character.
TEST(StrUtils, XorFromHexKeepsAnUnfinishedLastSequenceAsSingleBytes) {
    EXPECT_EQ(XorFromHex("", "41c3"), QString::fromLatin1("\x41\xC3"));
    EXPECT_EQ(XorFromHex("", "41e282"), QString::fromLatin1("\x41\xE2\x82"));
}

TEST(StrUtils, NumbersMemoryAndRectangles) {
    EXPECT_EQ(MaxOfTwo(3, 3), 3);
    EXPECT_EQ(MinOfTwo(-2, -2), -2);
    EXPECT_EQ(AllocZeroedBlock(0), nullptr);
    EXPECT_EQ(AllocZeroedBlock(-5), nullptr);
    void* none = nullptr;
    FreeBlock(none);
    EXPECT_EQ(none, nullptr);

    void* block = AllocZeroedBlock(7);
    ASSERT_NE(block, nullptr);
    const std::array<char, 7> zeros{};
    EXPECT_TRUE(SameBytes(block, zeros.data(), zeros.size()));
    std::array<char, 8> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    MoveBytes(OffsetPointer(bytes.data(), 2), bytes.data(), 5);
    EXPECT_TRUE(SameBytes(bytes.data(), std::array<char, 8>{1, 2, 1, 2, 3, 4, 5, 8}.data(), 8));
    EXPECT_FALSE(SameBytes(bytes.data(), zeros.data(), 1));
    FreeBlock(block);
    EXPECT_EQ(block, nullptr);
}

}  // namespace
}  // namespace kit
