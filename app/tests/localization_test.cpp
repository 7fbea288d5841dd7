#include "app/localization.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace app {
namespace {

class Localization : public ::testing::Test {
protected:
    void TearDown() override { TLocalization::LoadLanguageFile(FDir.filePath("none.ini")); }

    void Write(const QByteArray& Text) const {
        QFile file(FileName());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(Text);
    }
    QString FileName() const { return FDir.filePath("zintareko.ini"); }

    QTemporaryDir FDir;
};

TEST_F(Localization, ReadsTheLanguageFileByTheProfileRules) {
    Write(
        "; comment\r\n[misc]\r\n Ready = Bereit \r\nDEVICE=\"Leser\"\r\nEmpty=\r\nReady=Zweiter\r\n"
        "Quoted=' a '\r\nFormat=%d %s %n\r\n[MISC]\r\nCardCodes=Karten\r\n[About]\r\nVersion=Wersja\r\n");
    TLocalization::LoadLanguageFile(FileName());
    struct Case {
        const char* Section;
        const char* Key;
        const char* Expected;
    };
    const Case cases[] = {
        {"Misc", "Ready", "Bereit"},         // names ignore case, blanks trimmed, first key wins
        {"Misc", "Device", "Leser"},         // one pair of quotes stripped
        {"Misc", "Quoted", " a "},           // blanks inside the quotes stay
        {"Misc", "Empty", ""},               // present but empty blanks the text
        {"Misc", "Missing", "default"},      // a missing key keeps the default
        {"Misc", "CardCodes", "default"},    // the first section of a name wins
        {"OptionsForm", "Self", "default"},  // a missing section keeps the default
        {"about", "version", "Wersja"},
        {"Misc", "Format", "%d %s %n"},  // taken as it is
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TLocalization::Translate(c.Section, c.Key, "default"), c.Expected) << c.Section << "/" << c.Key;
    }
}

TEST_F(Localization, EachLookupReadsTheFileAnew) {
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Ready");  // nothing loaded
    TLocalization::LoadLanguageFile(FileName());
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Ready");  // not there yet
    Write("[Misc]\nReady=Bereit\n");
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Bereit");
    Write("[Misc]\nReady=Gotowe\n");
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Gotowe");
    // A file in Windows-1252 is still read.
    Write("[Misc]\nReady=Pr\xeat\n");
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), QString::fromUtf8("Pr\xc3\xaat"));
    // Values longer than the profile service hands out are cut.
    Write("[Misc]\nReady=" + QByteArray(3000, 'x') + "\n");
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready").size(), 2047);
}

// A language file that cannot be read gives the default texts, when it is
// loaded and at every lookup after it became unreadable, and never an error.
TEST_F(Localization, AFileThatCannotBeReadGivesTheDefaultTexts) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("folder.ini"));
    EXPECT_NO_THROW(TLocalization::LoadLanguageFile(FDir.filePath("folder.ini")));
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Ready");

    Write("[Misc]\nReady=Bereit\n");
    TLocalization::LoadLanguageFile(FileName());
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Bereit");
    ASSERT_TRUE(QFile(FileName()).resize(16 * 1024 * 1024 + 1));
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Ready");
    ASSERT_TRUE(QFile::remove(FileName()));
    ASSERT_TRUE(QFile::link("/dev/zero", FileName()));
    EXPECT_EQ(TLocalization::Translate("Misc", "Ready", "Ready"), "Ready");
}

TEST(Placeholder, ReplacesTheFirstPlaceholderLiterally) {
    struct Case {
        const char* Pattern;
        const char* Value;
        const char* Expected;
    };
    const Case cases[] = {
        {"Select: %s?", "Deutsch", "Select: Deutsch?"},
        {"%d %n %s %s", "x", "%d %n x %s"},
        {"no placeholder", "x", "no placeholder"},
        {"%s", "%s%d", "%s%d"},
        {"%", "x", "%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplacePlaceholder(c.Pattern, c.Value), c.Expected) << c.Pattern;
    }
}

}  // namespace
}  // namespace app
