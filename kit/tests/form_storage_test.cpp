#include "kit/form_storage.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <memory>

#include "kit/app_utils.h"
#include "kit/str_utils.h"
#include "kit/tests/temp_folder.h"
#include "kit/tests/test_objects.h"

namespace kit {
namespace {

using testing::TTestOptionsForm;

class FormStorage : public ::testing::Test, protected testing::TTempFolder {
protected:
    FormStorage() {
        SetScreenMetricsProvider([this] { return FScreen; });
        SetExceptionHandler([this](const QString& Message) { FShown << Message; });
    }
    ~FormStorage() override {
        SetScreenMetricsProvider({});
        SetExceptionHandler({});
    }

    TScreenMetrics FScreen{1280, 1024, 96};
    QStringList FShown;
};

// The options section as a save writes it, followed by Tail.
std::string OptionsSection(const char* Text, const char* AutoRun, int Format, const char* Tail = "") {
    return std::string(
               "[Options]\n"
               "FormVersion=0\n"
               "CopyToClipboardCheckBox_Checked=True\n"
               "SaveToFileCheckBox_Checked=True\n"
               "PlaySoundCheckBox_Checked=True\n"
               "SaveToFileEdit_Text=") +
           Text + "\nCopyToTextBoxCheckBox_Checked=True\nAutoRunCheckBox_Checked=" + AutoRun +
           "\nRadioGroupFormat_ItemIndex=" + std::to_string(Format) + "\nRadioGroupEndOfLine_ItemIndex=0\n" + Tail;
}

TEST_F(FormStorage, OptionsDialogWritesItsEightKeysInOrderAndKeepsOtherKeys) {
    TTestOptionsForm form(Path());
    form.FormStorage1->SaveFormState();
    EXPECT_EQ(ReadRaw().toStdString(), OptionsSection("", "False", 0));

    TIniFile(Path()).WriteString("Options", "FirstStart", "0");
    form.SaveToFileEdit->setText("/home/user/Codes.csv");
    form.RadioGroupFormat->SetItemIndex(3);
    form.AutoRunCheckBox->setChecked(true);
    form.FormStorage1->SaveFormState();
    EXPECT_EQ(ReadRaw().toStdString(), OptionsSection("/home/user/Codes.csv", "True", 3, "FirstStart=0\n"));
}

TEST_F(FormStorage, LoadBringsBackStoredValuesAndLeavesMissingOnes) {
    WriteRaw(
        "[options]\r\n"
        "formversion=0\r\n"
        "copytoclipboardcheckbox_checked=false\r\n"
        "SaveToFileEdit_Text=  /tmp/x.csv  \r\n"
        "RadioGroupFormat_ItemIndex=2\r\n"
        "RadioGroupEndOfLine_ItemIndex=99\r\n"
        "PlaySoundCheckBox_Checked=maybe\r\n");
    TTestOptionsForm form(Path());
    form.FormStorage1->LoadFormState();
    EXPECT_FALSE(form.CopyToClipboardCheckBox->isChecked());
    EXPECT_EQ(form.SaveToFileEdit->text(), "/tmp/x.csv");
    EXPECT_EQ(form.RadioGroupFormat->ItemIndex(), 2);
    EXPECT_EQ(form.RadioGroupEndOfLine->ItemIndex(), 3);
    EXPECT_TRUE(form.PlaySoundCheckBox->isChecked());
    EXPECT_TRUE(form.SaveToFileCheckBox->isChecked());

    TTestOptionsForm fresh(Path("missing.cfg"));
    fresh.FormStorage1->LoadFormState();
    EXPECT_TRUE(fresh.CopyToClipboardCheckBox->isChecked());
    EXPECT_FALSE(QFile::exists(Path("missing.cfg")));
}

TEST_F(FormStorage, RadioGroupClampsItsIndex) {
    TTestOptionsForm form(Path());
    const std::pair<int, int> cases[] = {{2, 2}, {4, 3}, {1000000, 3}, {-1, -1}, {-7, -1}, {0, 0}};
    for (const auto& [set, expected] : cases) {
        form.RadioGroupFormat->SetItemIndex(set);
        EXPECT_EQ(form.RadioGroupFormat->ItemIndex(), expected) << set;
    }
}

TEST_F(FormStorage, AStoreThatCannotBeWrittenRaisesAndKeepsTheControls) {
    TTestOptionsForm form(Path("missing/folder.cfg"));
    form.SaveToFileEdit->setText("chosen");
    try {
        form.FormStorage1->SaveFormState();
        FAIL() << "no error";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + Path("missing/folder.cfg") + ": No such file or directory");
    }
    EXPECT_EQ(form.SaveToFileEdit->text(), "chosen");
    EXPECT_FALSE(form.FormStorage1->Saved());
}

TEST_F(FormStorage, ItemsOfMissingOrDestroyedComponentsAreDropped) {
    TTestOptionsForm form(Path());
    QStringList items = form.FormStorage1->StoredProps();
    items << "GhostEdit.Text"
          << "NoDot";
    form.FormStorage1->SetStoredProps(items);
    EXPECT_EQ(form.FormStorage1->StoredProps().size(), 8);
    delete form.PlaySoundCheckBox;
    EXPECT_EQ(form.FormStorage1->StoredProps().size(), 7);
    form.FormStorage1->SaveFormState();
    EXPECT_FALSE(ReadRaw().contains("Ghost"));
    EXPECT_FALSE(ReadRaw().contains("PlaySound"));
}

TEST_F(FormStorage, OlderStoredVersionRestoresNothingButAllowsSaving) {
    WriteRaw("[Options]\nFormVersion=1\nAutoRunCheckBox_Checked=True\nSecret=x\n");
    TTestOptionsForm form(Path());
    form.FormStorage1->SetVersion(2);
    form.FormStorage1->SetActive(true);
    bool restoredEvent = false;
    form.FormStorage1->OnRestorePlacement = [&](QObject*) { restoredEvent = true; };
    form.FormStorage1->LoadFormState();
    EXPECT_FALSE(form.AutoRunCheckBox->isChecked());
    EXPECT_FALSE(restoredEvent);
    EXPECT_TRUE(form.FormStorage1->Restored());
    form.FormStorage1->SaveFormState();
    EXPECT_TRUE(ReadRaw().startsWith("[Options]\nFormVersion=2\n"));
}

TEST_F(FormStorage, ActiveStoreWritesOnlyAfterARestore) {
    TTestOptionsForm form(Path());
    form.FormStorage1->SetActive(true);
    bool saved = false;
    form.FormStorage1->OnSavePlacement = [&](QObject*) { saved = true; };
    form.FormStorage1->SaveFormState();
    EXPECT_FALSE(QFile::exists(Path()));
    EXPECT_FALSE(saved);
    form.FormStorage1->LoadFormState();
    form.FormStorage1->SaveFormState();
    EXPECT_TRUE(QFile::exists(Path()));
    EXPECT_TRUE(saved);
}

TEST_F(FormStorage, FormEventsRestoreOnShowAndSaveOnCloseAndDestruction) {
    WriteRaw("[Options]\nAutoRunCheckBox_Checked=True\n");
    auto form = std::make_unique<TTestOptionsForm>(Path(), false);
    TFormStorage* storage = form->FormStorage1;
    storage->SetActive(true);
    QStringList calls;
    // Handlers the form had before the storage took over still run.
    form->OnShow = [&](QObject*) { calls << "show"; };
    form->OnCloseQuery = [&](QObject*, bool& CanClose) {
        calls << "close";
        CanClose = !calls.contains("refuse");
    };
    auto* second = new TFormStorage(form.get());
    second->SetIniFileName(Path("second.cfg"));
    second->SetIniSection("Second");
    second->SetOptions({});
    form->Loaded();
    // A placement made later takes no events and gives none back when it goes.
    delete new TFormPlacement(form.get());

    form->show();
    EXPECT_TRUE(form->AutoRunCheckBox->isChecked());
    EXPECT_EQ(calls, QStringList{"show"});

    form->AutoRunCheckBox->setChecked(false);
    calls << "refuse";
    form->reject();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(ReadRaw().contains("AutoRunCheckBox_Checked=True"));
    calls.removeAll("refuse");
    form->reject();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(ReadRaw().contains("AutoRunCheckBox_Checked=False"));

    form->show();
    form->AutoRunCheckBox->setChecked(true);
    form.reset();
    EXPECT_TRUE(ReadRaw().contains("AutoRunCheckBox_Checked=True"));
    EXPECT_TRUE(QFile::exists(Path("second.cfg")));
    EXPECT_TRUE(FShown.isEmpty()) << FShown.join("; ").toStdString();
}

TEST_F(FormStorage, ErrorsInFormEventsGoToTheErrorDisplayAndClosingGoesOn) {
    TTestOptionsForm form(Path("missing/folder.cfg"));
    form.FormStorage1->SetActive(true);
    form.show();
    form.accept();
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(FShown.size(), 1);
    EXPECT_EQ(FShown[0], "Unable to write to " + Path("missing/folder.cfg") + ": No such file or directory");
}

TEST_F(FormStorage, RegistryStoreIsRefused) {
    TTestOptionsForm form(Path());
    EXPECT_THROW(form.FormStorage1->SetUseRegistry(true), Exception);
    EXPECT_FALSE(form.FormStorage1->UseRegistry());
}

TEST_F(FormStorage, StoredValuesAreKeptScrambledWhenKeyed) {
    TTestOptionsForm form(Path());
    TStoredValues* values = form.FormStorage1->StoredValues();
    TStoredValue* plain = values->Add();
    plain->SetName("Plain");
    plain->SetValue("'quoted'");
    TStoredValue* secret = values->Add();
    secret->SetName("Secret");
    secret->SetKeyString("key");
    secret->SetValue("password");
    int restoreEvents = 0;
    secret->OnRestore = [&](TStoredValue*, QVariant&) { ++restoreEvents; };
    form.FormStorage1->SaveFormState();
    EXPECT_TRUE(ReadRaw().contains("Plain=\"'quoted'\"\n"));
    EXPECT_TRUE(ReadRaw().contains("Secret=" + XorToHex("key", "password").toLatin1() + "\n"));

    plain->SetValue("other");
    secret->SetValue("other");
    form.FormStorage1->LoadFormState();
    EXPECT_EQ(plain->Value().toString(), "'quoted'");
    EXPECT_EQ(secret->Value().toString(), "password");
    EXPECT_EQ(restoreEvents, 1);

    TStoredValue* missing = values->Add();
    missing->SetName("Missing");
    missing->SetKeyString("k");
    missing->SetValue("current");
    missing->Restore();
    EXPECT_EQ(missing->Value().toString(), "current");
}

TEST_F(FormStorage, StoredValueNamesAreUnique) {
    TTestOptionsForm form(Path());
    TStoredValues* values = form.FormStorage1->StoredValues();
    TStoredValue* first = values->Add();
    first->SetName("Alpha");
    TStoredValue* second = values->Add();
    second->SetName("Beta");
    try {
        second->SetName("ALPHA");
        FAIL() << "duplicate accepted";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "String list does not allow duplicates");
    }
    second->SetName("BETA");
    EXPECT_EQ(second->Name(), "BETA");
    second->SetName("");
    EXPECT_EQ(values->IndexOf("alpha"), 0);
    EXPECT_EQ(values->ValueByName("nothing"), nullptr);
}

TEST_F(FormStorage, DefaultNames) {
    TTestOptionsForm form(Path());
    TFormPlacement unnamed(&form);
    unnamed.setObjectName("Placement1");
    EXPECT_EQ(unnamed.IniSection(), "TTestOptionsForm");
    EXPECT_EQ(DefaultSectionName(&form), "TTestOptionsForm");
    EXPECT_EQ(DefaultSectionName(form.SaveToFileEdit), "TTestOptionsFormSaveToFileEdit");
    EXPECT_EQ(DefaultSectionName(form.FormStorage1), "TTestOptionsForm.FormStorage1");
    QObject loose;
    loose.setObjectName("Loose");
    EXPECT_EQ(DefaultSectionName(&loose), "Loose");
    EXPECT_EQ(DefaultSectionName(nullptr), "");
    EXPECT_EQ(DefaultIniFileName(), "kit_storage_tests.INI");
    EXPECT_EQ(TFormPlacement(&form).Options(),
              TFormPlacement::TPlacementOptions(TFormPlacement::fpState) | TFormPlacement::fpPosition);
    EXPECT_EQ(TFormPlacement(&loose).Options(), TFormPlacement::TPlacementOptions());
}

TEST_F(FormStorage, PlacementUsesTheKeyOfTheCurrentResolution) {
    TTestOptionsForm form(Path());
    TFormPlacement placement(&form);
    placement.SetIniFileName(Path());
    placement.SetIniSection("Main");
    placement.SetActive(false);
    form.setGeometry(100, 120, 300, 200);
    placement.SaveFormState();
    const QByteArray saved = ReadRaw();
    EXPECT_TRUE(
        saved.contains("Flags=0\nShowCmd=1\nPixelsPerInch=96\nMinMaxPos(1280x1024)=-1,-1,-1,-1\n"
                       "MinMaxPos=-1,-1,-1,-1\nNormPos(1280x1024)=100,120,400,320\nNormPos=100,120,400,320\n"
                       "Visible=0\n"))
        << saved.toStdString();

    // Written later at another resolution: the plain key changes, ours does not.
    FScreen = {800, 600, 96};
    TIniFile(Path()).WriteString("Main", "NormPos", "10,20,210,170");
    FScreen = {1280, 1024, 96};
    form.setGeometry(0, 0, 50, 50);
    placement.LoadFormState();
    EXPECT_EQ(form.geometry(), QRect(100, 120, 300, 200));

    FScreen = {1024, 768, 96};
    placement.LoadFormState();
    EXPECT_EQ(form.geometry(), QRect(10, 20, 200, 150));

    // Another pixel density keeps the window where it is; the state applies.
    TIniFile(Path()).WriteString("Main", "PixelsPerInch", "120");
    TIniFile(Path()).WriteString("Main", "ShowCmd", "3");
    form.setGeometry(5, 6, 70, 80);
    placement.LoadFormState();
    EXPECT_EQ(form.geometry(), QRect(5, 6, 70, 80));
    EXPECT_TRUE(form.windowState().testFlag(Qt::WindowMaximized));
}

// Hand-edited rectangles off every screen, larger than any, or beyond 32-bit
// arithmetic put the window on the screen, no larger than its free area.
TEST_F(FormStorage, PlacementOffTheScreenOrTooLargeIsBroughtOntoTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    TTestOptionsForm form(Path());
    TFormPlacement placement(&form);
    placement.SetIniFileName(Path());
    placement.SetIniSection("Main");
    placement.SetActive(false);
    for (const bool fixedSize : {false, true}) {
        if (fixedSize) {
            form.setFixedSize(300, 200);
        }
        for (const char* rectangle :
             {"-30000,-30000,-29500,-29600", "40000,40000,40300,40200", "0,0,2000000000,2000000000",
              "-2147483648,0,2147483647,10", "2147483000,0,2147483647,10"}) {
            SCOPED_TRACE(std::string(rectangle) + (fixedSize ? " fixed size" : ""));
            TIniFile(Path()).WriteString("Main", "NormPos", rectangle);
            placement.LoadFormState();
            EXPECT_TRUE(form.geometry().intersects(area));
            EXPECT_LE(form.width(), area.width());
            EXPECT_LE(form.height(), area.height());
        }
    }
}

TEST_F(FormStorage, SizeLimitsAndPreventResizeApplyToTheFormUntilLifted) {
    TTestOptionsForm form(Path());
    form.setMinimumWidth(20);
    TFormPlacement placement(&form);
    placement.MinMaxInfo()->SetMinTrackWidth(150);
    placement.MinMaxInfo()->SetMaxTrackHeight(400);
    EXPECT_EQ(form.minimumWidth(), 150);
    EXPECT_EQ(form.maximumHeight(), 400);
    EXPECT_FALSE(placement.MinMaxInfo()->HasDefaultValue());
    placement.MinMaxInfo()->Assign(TWinMinMaxInfo(&placement));
    EXPECT_TRUE(placement.MinMaxInfo()->HasDefaultValue());
    // Lifted: the form's own limits are back.
    EXPECT_EQ(form.minimumSize(), QSize(20, 0));
    EXPECT_EQ(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));

    form.resize(320, 240);
    placement.SetPreventResize(true);
    EXPECT_EQ(form.minimumSize(), QSize(320, 240));
    EXPECT_EQ(form.maximumSize(), QSize(320, 240));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    placement.SetPreventResize(false);
    EXPECT_EQ(form.minimumSize(), QSize(20, 0));
    EXPECT_EQ(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

}  // namespace
}  // namespace kit
