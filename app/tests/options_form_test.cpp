#include "app/options_form.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/tests/window_test_support.h"

namespace app {
namespace {

class Options : public ::testing::Test, public testing::TWindowTestBase {
protected:
    void Create() {
        FForm = std::make_unique<TOptionsForm>(FPaths.SettingsFile(), FServices);
        OptionsForm = FForm.get();
    }
    void TearDown() override { OptionsForm = nullptr; }

    QByteArray Settings() const { return ReadFile("zintareko.cfg"); }

    std::unique_ptr<TOptionsForm> FForm;
};

constexpr const char* Defaults =
    "[Options]\n"
    "FormVersion=0\n"
    "CopyToClipboardCheckBox_Checked=True\n"
    "SaveToFileCheckBox_Checked=True\n"
    "PlaySoundCheckBox_Checked=True\n"
    "SaveToFileEdit_Text=\n"
    "CopyToTextBoxCheckBox_Checked=True\n"
    "AutoRunCheckBox_Checked=False\n"
    "RadioGroupFormat_ItemIndex=0\n"
    "RadioGroupEndOfLine_ItemIndex=0\n";

TEST_F(Options, AMissingSettingsFileIsWrittenWithTheDefaultsInOrder) {
    Create();
    EXPECT_EQ(Settings().toStdString(), Defaults);
    EXPECT_FALSE(TOptions::AutoRun());
    EXPECT_TRUE(TOptions::CopyToClipboard());
    EXPECT_TRUE(TOptions::CopyToTextBox());
    EXPECT_EQ(TOptions::CodeFormat(), 0);
    EXPECT_EQ(TOptions::EndOfLine(), 0);
    EXPECT_TRUE(TOptions::SaveToFile());
    EXPECT_EQ(TOptions::FileName(), "");
    EXPECT_TRUE(TOptions::PlaySound());
}

TEST_F(Options, ConfirmWritesAtOnceAndCancelBringsBackTheFile) {
    Create();
    FForm->AutoRunCheckBox->setChecked(true);
    FForm->RadioGroupFormat->SetItemIndex(3);
    FForm->SaveToFileEdit->setText("  /home/user/Codes.csv ");
    FForm->done(QDialog::Accepted);
    const QByteArray saved = Settings();
    EXPECT_TRUE(saved.contains("AutoRunCheckBox_Checked=True\n"));
    EXPECT_TRUE(saved.contains("RadioGroupFormat_ItemIndex=3\n"));
    EXPECT_TRUE(saved.contains("SaveToFileEdit_Text=/home/user/Codes.csv\n"));

    FForm->PlaySoundCheckBox->setChecked(false);
    FForm->RadioGroupEndOfLine->SetItemIndex(2);
    FForm->SaveToFileCheckBox->setChecked(false);
    FForm->done(QDialog::Rejected);
    EXPECT_EQ(Settings(), saved);
    EXPECT_TRUE(TOptions::PlaySound());
    EXPECT_EQ(TOptions::EndOfLine(), 0);
    EXPECT_TRUE(TOptions::SaveToFile());
    EXPECT_TRUE(FForm->SaveToFileEdit->isEnabled());
    EXPECT_EQ(TOptions::CodeFormat(), 3);
}

TEST_F(Options, HandEditedValuesAreClampedAndTheEnablingFollowsThem) {
    struct Case {
        const char* Format;
        const char* EndOfLine;
        int ExpectedFormat;
        int ExpectedEndOfLine;
    };
    const Case cases[] = {{"9", "-4", 3, -1}, {"2", "x", 2, 0}, {"", " 1 ", 0, 1}};
    for (const auto& c : cases) {
        WriteFile("zintareko.cfg", QByteArray("[options]\nSAVETOFILECHECKBOX_CHECKED=false\n"
                                              "CopyToTextBoxCheckBox_Checked=FALSE\nRadioGroupFormat_ItemIndex=") +
                                       c.Format + "\nRadioGroupEndOfLine_ItemIndex=" + c.EndOfLine + "\n");
        Create();
        EXPECT_EQ(TOptions::CodeFormat(), c.ExpectedFormat) << c.Format;
        EXPECT_EQ(TOptions::EndOfLine(), c.ExpectedEndOfLine) << c.EndOfLine;
        // Right after creation, before any click.
        EXPECT_FALSE(FForm->SaveToFileEdit->isEnabled());
        EXPECT_FALSE(FForm->Button3->isEnabled());
        EXPECT_FALSE(FForm->RadioGroupFormat->isEnabled());
        EXPECT_FALSE(FForm->RadioGroupEndOfLine->isEnabled());
    }
    FForm->SaveToFileCheckBox->click();
    FForm->CopyToTextBoxCheckBox->click();
    EXPECT_TRUE(FForm->SaveToFileEdit->isEnabled());
    EXPECT_TRUE(FForm->Button3->isEnabled());
    EXPECT_TRUE(FForm->RadioGroupFormat->isEnabled());
    EXPECT_TRUE(FForm->RadioGroupEndOfLine->isEnabled());
}

TEST_F(Options, AFailedSaveIsShownAndTheChosenValuesStay) {
    Create();
    FForm->FormStorage1->SetIniFileName(FDir.filePath("missing/folder/zintareko.cfg"));
    FForm->PlaySoundCheckBox->setChecked(false);
    FForm->done(QDialog::Accepted);
    ASSERT_EQ(FErrors.size(), 1);
    EXPECT_TRUE(FErrors.front().startsWith("Unable to write to ")) << FErrors.front().toStdString();
    EXPECT_FALSE(TOptions::PlaySound());
    EXPECT_EQ(FForm->result(), QDialog::Accepted);
}

TEST_F(Options, TranslationKeepsTheSelectionAndTheBrowseButtonFillsTheFileName) {
    UseLanguageFile(
        "[OptionsForm]\nSelf=Optionen\nFormat=Format %d:\nRadioButton24bit=24 Bit\nRadioButtonLF=LF (13)\n"
        "SaveDialogTitle=Datei w\xc3\xa4hlen\n");
    Create();
    FForm->RadioGroupFormat->SetItemIndex(1);
    FForm->show();
    EXPECT_EQ(FForm->windowTitle(), "Optionen");
    EXPECT_EQ(FForm->RadioGroupFormat->title(), "Format %d:");
    EXPECT_EQ(FForm->RadioGroupFormat->Items(), (QStringList{"40 bit", "24 Bit", "8+16 bit", "40 bit HEX"}));
    EXPECT_EQ(FForm->RadioGroupEndOfLine->Items().back(), "LF (13)");
    EXPECT_EQ(TOptions::CodeFormat(), 1);
    EXPECT_EQ(TOptions::EndOfLine(), 0);

    QString title;
    QString chosen;
    FServices.AskSaveFileName = [&](QWidget*, const TSaveDialog& Dialog) {
        title = Dialog.Title;
        return chosen;
    };
    FForm->SaveToFileEdit->setText("/old.csv");
    FForm->Button3->click();
    EXPECT_EQ(TOptions::FileName(), "/old.csv");
    EXPECT_EQ(title, QString::fromUtf8("Datei w\xc3\xa4hlen"));
    chosen = "/data/new.csv";
    FForm->Button3->click();
    EXPECT_EQ(TOptions::FileName(), "/data/new.csv");
    FForm->hide();
}

TEST_F(Options, EveryShowingFitsTheDialogToItsTranslatedTexts) {
    Create();
    for (const QByteArray& text :
         {QByteArray("Kurz"), QByteArray("Sehr lange Beschriftung ").repeated(3), QByteArray("Kurz")}) {
        UseLanguageFile("[OptionsForm]\nAutoRun=" + text + "\n");
        FForm->show();
        EXPECT_GE(FForm->AutoRunCheckBox->width(), FForm->AutoRunCheckBox->sizeHint().width()) << text.toStdString();
        EXPECT_GE(FForm->width(), 445);
        EXPECT_GE(FForm->height(), 334);
        EXPECT_EQ(FForm->minimumSize(), FForm->maximumSize());  // not resizable
        FForm->hide();
    }
    EXPECT_EQ(FForm->width(), 445);  // a shorter text needs no more than the design size again
}

TEST_F(Options, EachOptionRowHasItsPicture) {
    Create();
    for (const QLabel* image :
         {FForm->ClipboardImage, FForm->TextBoxImage, FForm->FileImage, FForm->SoundImage, FForm->AutoRunImage}) {
        EXPECT_FALSE(image->pixmap().isNull()) << image->objectName().toStdString();
    }
}

TEST(OptionsWithoutDialog, ReadingAnOptionIsAClearError) {
    OptionsForm = nullptr;
    EXPECT_THROW(TOptions::AutoRun(), kit::Exception);
}

TEST(SaveDialogFilters, PairsBecomeNameFilters) {
    EXPECT_EQ(NameFilters("CSV files(*.csv)|*.csv"), QStringList{"CSV files(*.csv) (*.csv)"});
    EXPECT_EQ(NameFilters("Text|*.txt;*.csv|All|*"), (QStringList{"Text (*.txt *.csv)", "All (*)"}));
    EXPECT_EQ(NameFilters("Just a name"), QStringList{"Just a name"});
}

}  // namespace
}  // namespace app
