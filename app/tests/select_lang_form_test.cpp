#include "app/select_lang_form.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <memory>

#include "app/tests/window_test_support.h"

namespace app {
namespace {

class LanguageSelector : public ::testing::Test, public testing::TWindowTestBase {
protected:
    std::unique_ptr<TSelectLangForm> Open() {
        auto form = std::make_unique<TSelectLangForm>(FPaths, FServices);
        form->show();
        return form;
    }

    static QStringList Items(const TSelectLangForm& Form) {
        QStringList items;
        for (int i = 0; i < Form.outLangBox->count(); ++i) {
            items << Form.outLangBox->itemText(i);
        }
        return items;
    }
};

TEST_F(LanguageSelector, ListsTheLanguageFoldersOnly) {
    WriteFile("Language/Deutsch/zintareko.ini", "");
    WriteFile("Language/Polski/zintareko.ini", "");
    WriteFile("Language/.hidden/zintareko.ini", "");
    WriteFile("Language/readme.txt", "");
    auto form = Open();
    QStringList items = Items(*form);
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items.takeFirst(), "<Select Language>");
    items.sort();
    EXPECT_EQ(items, (QStringList{"Deutsch", "Polski"}));
    EXPECT_FALSE(form->Button1->isEnabled());
    form->outLangBox->setCurrentIndex(2);
    EXPECT_TRUE(form->Button1->isEnabled());
    form->outLangBox->setCurrentIndex(0);
    EXPECT_FALSE(form->Button1->isEnabled());

    // Nothing chosen: the error, and the dialog stays open.
    form->Button1Click();
    EXPECT_EQ(FErrors, QStringList{"No language selected"});
    EXPECT_TRUE(form->isVisible());
}

TEST_F(LanguageSelector, InstallingCopiesEveryFileAndReplacesAReadOnlyOne) {
    WriteFile("Language/Deutsch/zintareko.ini", "[Misc]\nReady=Bereit\n");
    WriteFile("Language/Deutsch/help.txt", "Hilfe\n");
    WriteFile("zintareko.ini", "old\n");
    QFile::setPermissions(FDir.filePath("zintareko.ini"), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    auto form = Open();

    // Answering No copies nothing and leaves the dialog open.
    FAnswer = false;
    form->outLangBox->setCurrentText("Deutsch");
    form->Button1->click();
    EXPECT_EQ(FQuestions, QStringList{"Select: Deutsch?"});
    EXPECT_EQ(ReadFile("zintareko.ini"), "old\n");
    EXPECT_TRUE(form->isVisible());

    FAnswer = true;
    form->Button1->click();
    EXPECT_EQ(ReadFile("zintareko.ini"), "[Misc]\nReady=Bereit\n");
    EXPECT_EQ(ReadFile("help.txt"), "Hilfe\n");
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join('\n').toStdString();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
    // No temporary file is left behind.
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files).size(), 2);
}

// The installed file may be a link into a language's folder: choosing
// another language replaces the link, never the shipped file it names.
TEST_F(LanguageSelector, InstallingOverALinkLeavesTheLinkedLanguageAsItWas) {
    WriteFile("Language/Deutsch/zintareko.ini", "[Misc]\nReady=Bereit\n");
    WriteFile("Language/English/zintareko.ini", "[Misc]\nReady=Ready\n");
    ASSERT_TRUE(QFile::link("Language/Deutsch/zintareko.ini", FDir.filePath("zintareko.ini")));
    auto form = Open();
    form->outLangBox->setCurrentText("English");
    form->Button1->click();
    EXPECT_EQ(ReadFile("Language/Deutsch/zintareko.ini"), "[Misc]\nReady=Bereit\n");
    EXPECT_EQ(ReadFile("zintareko.ini"), "[Misc]\nReady=Ready\n");
    EXPECT_FALSE(QFileInfo(FDir.filePath("zintareko.ini")).isSymLink());
}

TEST_F(LanguageSelector, EmptyFoldersAndFailedCopiesAreReportedAndStillCloseWithOK) {
    QDir(FDir.path()).mkpath("Language/Leer");
    WriteFile("Language/Deutsch/zintareko.ini", "x");
    auto form = Open();
    form->outLangBox->setCurrentText("Leer");
    form->Button1->click();
    EXPECT_EQ(FErrors, QStringList{"No files in Language\\Leer directory"});
    EXPECT_EQ(form->result(), QDialog::Accepted);

    // The target cannot be replaced: a folder stands in its place.
    FErrors.clear();
    QDir(FDir.path()).mkpath("zintareko.ini");
    form = Open();
    form->outLangBox->setCurrentText("Deutsch");
    form->Button1->click();
    EXPECT_EQ(FErrors, QStringList{"zintareko.ini    - Copy error\n\n"});
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{});
}

TEST_F(LanguageSelector, TranslatedMessagesAreNeverFormats) {
    WriteFile("Language/Deutsch/zintareko.ini", "x");
    QDir(FDir.path()).mkpath("Language/Leer");
    UseLanguageFile(
        "[SelectLangForm]\nSelf=Sprache\nSelectQuestion=%d %n W\xc3\xa4hlen: %s? %s\n"
        "NoFilesInDirectory=Leer: %s %x\nSelectLanguage=<Sprache %s>\n");
    FAnswer = false;
    auto form = Open();
    EXPECT_EQ(form->windowTitle(), "Sprache");
    EXPECT_EQ(form->outLangBox->itemText(0), "<Sprache %s>");
    form->outLangBox->setCurrentText("Deutsch");
    form->Button1->click();
    EXPECT_EQ(FQuestions, QStringList{QString::fromUtf8("%d %n W\xc3\xa4hlen: Deutsch? %s")});
    FAnswer = true;
    form->outLangBox->setCurrentText("Leer");
    form->Button1->click();
    EXPECT_EQ(FErrors, QStringList{"Leer: Leer %x"});

    // The messages keep their last translation as default for the run; put
    // the English ones back for the cases that follow in this process.
    UseLanguageFile(
        "[SelectLangForm]\nSelectQuestion=Select: %s?\nNoFilesInDirectory=No files in Language\\%s directory\n"
        "SelectLanguage=<Select Language>\n");
    Open();
}

TEST_F(LanguageSelector, WithoutALanguageFolderOnlyCancelRemains) {
    auto form = Open();
    EXPECT_EQ(Items(*form), QStringList{"<Select Language>"});
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_TRUE(form->Button2->isEnabled());
}

}  // namespace
}  // namespace app
