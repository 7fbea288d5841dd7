#include "app/main_view_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QScreen>
#include <memory>

#include "app/about_box.h"
#include "app/localization.h"
#include "app/options_form.h"
#include "app/select_lang_form.h"
#include "app/tests/window_test_support.h"
#include "kit/elided_controls.h"
#include "sim/ftdi/ftdi_sim_control.h"
#include "sim/kev3/kev3_sim_control.h"

namespace app {
namespace {

// Readers of the simulated driver library: none, one or two that answer.
constexpr const char* NoReaders = "clock virtual\n";
constexpr const char* OneReader = "clock virtual\ndevice H1 4 KEV-4 Desk Reader\nname H1 KEV-4 Desk v2.10\n";
constexpr const char* TwoReaders =
    "clock virtual\ndevice H1 4 KEV-4 Desk Reader\nname H1 KEV-4 Desk v2.10\ndevice H2 3 KEV-3 Wall Reader\n";

class MainView : public ::testing::Test, public testing::TMainViewTestBase {
protected:
    void SetUp() override { Start(NoReaders); }

    void AddCardRow() const {
        kit::TMemoryData& events = FView->EventsMemoryData;
        events.Append();
        events.FieldByName("CardCode").SetAsString("0004886718345");
        events.Post();
    }

    QStringList Column(const char* Field) const {
        QStringList values;
        kit::TMemoryData& readers = FView->ReadersMemoryData;
        const auto bookmark = readers.GetBookmark();
        for (readers.First(); !readers.Eof(); readers.Next()) {
            values << readers.FieldByName(Field).AsString();
        }
        readers.GotoBookmark(bookmark);
        return values;
    }
};

TEST_F(MainView, EnablesEveryCommandByModeAndRowCounts) {
    struct Case {
        std::uint8_t Mode;
        bool Readers;
        bool Events;
        // Refresh, read one, read multiple, stop, clear, save as, options and reader grid.
        const char* Enabled;
    };
    const Case cases[] = {
        {0, false, false, "R.....OG"}, {0, true, false, "R12...OG"}, {0, false, true, "R...CSOG"},
        {0, true, true, "R12.CSOG"},   {1, true, true, "....C..."},  {1, false, false, "........"},
        {2, true, false, "...T...."},  {2, true, true, "...TC..."},  {2, false, true, "....C..."},
        {3, true, false, "...T...."},  {3, true, true, "...TC..."},  {3, false, false, "........"},
    };
    for (const bool readers : {false, true}) {
        Start(readers ? OneReader : NoReaders);
        AddCardRow();
        for (const auto& c : cases) {
            if (c.Readers != readers) {
                continue;
            }
            if (!c.Events) {
                FView->EventsMemoryData.ClearTable();
            } else if (FView->EventsMemoryData.RecordCount() == 0) {
                AddCardRow();
            }
            FView->SetMode(c.Mode);
            TMainViewForm& v = *FView;
            const std::string actual = {v.RefreshListToolButton->isEnabled() ? 'R' : '.',
                                        v.ReadOneCardToolButton->isEnabled() ? '1' : '.',
                                        v.ReadMultipleCardsToolButton->isEnabled() ? '2' : '.',
                                        v.StopReadingToolButton->isEnabled() ? 'T' : '.',
                                        v.ClearListToolButton->isEnabled() ? 'C' : '.',
                                        v.SaveAsToolButton->isEnabled() ? 'S' : '.',
                                        v.OptionsMenuItem->isEnabled() ? 'O' : '.',
                                        v.DBGrid1->isEnabled() ? 'G' : '.'};
            const std::string label =
                "mode " + std::to_string(c.Mode) + (c.Readers ? " readers" : "") + (c.Events ? " events" : "");
            EXPECT_EQ(actual, c.Enabled) << label;
            // Menu items and the icon's menu take the state of their buttons.
            EXPECT_EQ(v.RefreshListMeuItem->isEnabled(), v.RefreshListToolButton->isEnabled()) << label;
            EXPECT_EQ(v.ReadOneCardMenuItem->isEnabled(), v.ReadOneCardToolButton->isEnabled()) << label;
            EXPECT_EQ(v.ReadMultipleCardsMenuItem->isEnabled(), v.ReadMultipleCardsToolButton->isEnabled()) << label;
            EXPECT_EQ(v.Readmultiplecards1->isEnabled(), v.ReadMultipleCardsToolButton->isEnabled()) << label;
            EXPECT_EQ(v.StopReadingMenuItem->isEnabled(), v.StopReadingToolButton->isEnabled()) << label;
            EXPECT_EQ(v.Stopreading1->isEnabled(), v.StopReadingToolButton->isEnabled()) << label;
            EXPECT_EQ(v.ClearListMenuItem->isEnabled(), v.ClearListToolButton->isEnabled()) << label;
            EXPECT_EQ(v.SaveAsMenuItem->isEnabled(), v.SaveAsToolButton->isEnabled()) << label;
            for (QAction* always : {v.SelectLanguageMenuItem, v.About1, v.Talvohomepage1, v.Exit1, v.Hideafterminimize1,
                                    v.ShowZintareko1}) {
                EXPECT_TRUE(always->isEnabled()) << label << " " << always->objectName().toStdString();
            }
            EXPECT_EQ(v.BusyAnimation(), c.Mode == 2 || c.Mode == 3) << label;
        }
        FView->SetMode(0);
    }
}

TEST_F(MainView, RefreshListsTheReadersAndMakesTheLastOneCurrent) {
    struct Case {
        const char* Scenario;
        QStringList Devices;
        QStringList Serials;
        QStringList Infos;
    };
    const Case cases[] = {
        {NoReaders, {}, {}, {}},
        {OneReader, {"Device 1"}, {"H1"}, {"KEV-4 Desk"}},
        {TwoReaders, {"Device 1", "Device 2"}, {"H1", "H2"}, {"KEV-4 Desk", "KEV-3"}},
    };
    for (const auto& c : cases) {
        Start(c.Scenario);
        EXPECT_EQ(Column("Device"), c.Devices) << c.Scenario;
        EXPECT_EQ(Column("SerialNumber"), c.Serials) << c.Scenario;
        EXPECT_EQ(Column("Info"), c.Infos) << c.Scenario;
        EXPECT_EQ(FView->StatusText(), "Ready");
        EXPECT_EQ(FView->Mode(), TMainViewForm::ModeIdle);
        if (!c.Serials.isEmpty()) {
            EXPECT_EQ(FView->ReadersMemoryData.FieldByName("SerialNumber").AsString(), c.Serials.back());
            EXPECT_EQ(FView->ReadersMemoryData.FieldByName("COM").AsString(),
                      "HID" + QString::number(c.Serials.size()) + " ");
            EXPECT_EQ(FView->DBGrid1->Model().CurrentRow(), c.Serials.size() - 1);
        }
    }
    // The menu command refreshes again: a reader plugged in since is listed,
    // with the row label from the language file.
    UseLanguageFile("[Misc]\nDevice=Leser\n");
    ASSERT_EQ(FKev3.Apply("device H3 4 KEV-4 Spare\n"), 0);
    FView->RefreshListMeuItem->trigger();
    EXPECT_EQ(Column("Device"), (QStringList{"Leser 1", "Leser 2", "Leser 3"}));
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join('\n').toStdString();
}

TEST_F(MainView, AReaderThatCannotBeOpenedHidesNoOtherAndIsNamedInTheErrorBox) {
    ASSERT_EQ(FKev3.Load(TwoReaders), 0);
    ASSERT_EQ(FKev3.Apply("held H1 1\n"), 0);
    FView = std::make_unique<TMainViewForm>(FPaths, FServices);
    FView->show();  // the first showing refreshes
    EXPECT_EQ(FErrors, QStringList{"HID1 (KEV-4) H1: libTalvoKEV3.so open device cannot open"});
    EXPECT_EQ(Column("SerialNumber"), QStringList{"H2"});
    EXPECT_EQ(FView->CardCodesLabel->text(), " Card codes (0)");
    EXPECT_TRUE(FView->ReadOneCardToolButton->isEnabled());

    // When every reader fails, none is listed and each is named.
    ASSERT_EQ(FKev3.Apply("held H1 0\ninject kev3Write 0 5\n"), 0);
    FErrors.clear();
    FView->RefreshListToolButton->click();
    ASSERT_EQ(FErrors.size(), 1);
    EXPECT_EQ(FErrors.front().split('\n'),
              (QStringList{"HID1 (KEV-4) H1: libTalvoKEV3.so write Invalid buffer size error",
                           "HID2 (KEV-3) H2: libTalvoKEV3.so write Invalid buffer size error"}));
    EXPECT_EQ(Column("SerialNumber"), QStringList{});
    EXPECT_EQ(FView->Mode(), TMainViewForm::ModeIdle);
    EXPECT_EQ(FView->StatusText(), "Ready");
    EXPECT_TRUE(FView->RefreshListToolButton->isEnabled());
}

TEST_F(MainView, TranslationKeepsTheChosenReaderAndARefreshMakesTheLastOneCurrent) {
    Start(TwoReaders);
    const auto current = [this] {
        const int row = FView->DBGrid1->currentIndex().row();
        EXPECT_TRUE(FView->DBGrid1->selectionModel()->isRowSelected(row, {}));
        return FView->ReadersMemoryData.FieldByName("SerialNumber").AsString() + "@" + QString::number(row);
    };
    FView->ReadersMemoryData.First();
    FView->TranslateForm();
    EXPECT_EQ(current(), "H1@0");
    ASSERT_EQ(FKev3.Apply("device H3 4 KEV-4 Spare\n"), 0);
    FView->RefreshListToolButton->click();
    EXPECT_EQ(current(), "H3@2");
}

TEST_F(MainView, OpensCentredAndCentresTheLanguageSelectorOverItself) {
    const QRect screen = FView->screen()->availableGeometry();
    FView->resize(500, 400);
    FView->show();
    EXPECT_LE((FView->frameGeometry().center() - screen.center()).manhattanLength(), 2);

    FView->move(screen.topLeft() + QPoint(20, 30));
    QPoint selector;
    FOnModal = [&](QDialog& Dialog) {
        selector = Dialog.frameGeometry().center();
        return QDialog::Rejected;
    };
    FView->SelectLanguageMenuItem->trigger();
    EXPECT_LE((selector - FView->frameGeometry().center()).manhattanLength(), 2);
}

// The shipped English language file with each text 3,000 characters long.
QByteArray EveryTextLong() {
    QFile english(LANGUAGE_FOLDER "/English/zintareko.ini");
    EXPECT_TRUE(english.open(QIODevice::ReadOnly));
    return QString::fromUtf8(english.readAll())
        .replace(QRegularExpression("^(\\w+)=.*$", QRegularExpression::MultilineOption), "\\1=" + QString(3000, 'W'))
        .toUtf8();
}

TEST_F(MainView, EveryTextLongWidensNoWindowPastTheScreen) {
    const auto shownWidth = [](QWidget& Window) {
        Window.show();
        QApplication::processEvents();  // the layout's pending requests
        return Window.frameGeometry().width();
    };
    const int designWidth = shownWidth(*FView);
    UseLanguageFile(EveryTextLong());
    Start(OneReader);
    EXPECT_EQ(shownWidth(*FView), designWidth);

    const int screenWidth = FView->screen()->availableGeometry().width();
    TAboutBox about(FServices);
    TSelectLangForm selector(FPaths, FServices);
    for (QWidget* dialog : std::initializer_list<QWidget*>{FOptions.get(), &about, &selector}) {
        EXPECT_LE(shownWidth(*dialog), screenWidth) << dialog->objectName().toStdString();
    }

    // Cut with an ellipsis; pointing at it shows the whole text.
    const auto* label = qobject_cast<kit::TElidedLabel*>(FView->ReaderListLabel);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->ShownText().endsWith(QChar(0x2026))) << label->ShownText().toStdString();
    EXPECT_EQ(testing::ToolTipShown(*FView->ReaderListLabel), label->text());
}

TEST_F(MainView, StatusTextsNameTheModeTheReaderAndTheAppendFile) {
    Start(TwoReaders);
    FOptions->SaveToFileEdit->setText("/data/Codes.csv");
    FView->SetMode(2);
    EXPECT_EQ(FView->StatusText(), "Reading one card...  (Device 2)");
    FView->SetMode(3);
    EXPECT_EQ(FView->StatusText(), "Reading multiple cards...  (Device 2) [Saving to CSV file: /data/Codes.csv]");
    FOptions->SaveToFileCheckBox->setChecked(false);
    UseLanguageFile("[Misc]\nReady=Bereit\nReadingMultipleCards=Lese %d Karten %n\nSavingToCSV=CSV:\nDevice=Leser\n");
    FView->SetMode(3);
    EXPECT_EQ(FView->StatusText(), "Lese %d Karten %n  (Device 2)");
    FView->SetMode(1);
    EXPECT_EQ(FView->StatusText(), "Refreshing reader list...");
    EXPECT_TRUE(FView->BusyAnimation());  // refreshing leaves the indication as it was
    FView->SetMode(0);
    EXPECT_EQ(FView->StatusText(), "Bereit");
    EXPECT_FALSE(FView->BusyAnimation());
}

TEST_F(MainView, CaptionIsTheTitleABlankAndTheVersionOnce) {
    struct Case {
        QByteArray LanguageFile;
        QString Version;
        QString Caption;
    };
    const Case cases[] = {
        {"", "1.1.14.016", "Talvo Zintareko 1.1.14.016"},
        {"[MainViewForm]\nSelf=Talvo Zintareko (de)\n", "1.1.14.016", "Talvo Zintareko (de) 1.1.14.016"},
        {"[MainViewForm]\nSelf=Talvo %s Zintareko %d\n", "2.0.0.001", "Talvo %s Zintareko %d 2.0.0.001"},
        {"", "", "Talvo Zintareko"},
    };
    for (const auto& c : cases) {
        FVersion = c.Version;
        UseLanguageFile(c.LanguageFile);
        Start(NoReaders);
        EXPECT_EQ(FView->windowTitle(), c.Caption);
        FView->TranslateForm();
        FView->TranslateForm();
        EXPECT_EQ(FView->windowTitle(), c.Caption);
    }
}

TEST_F(MainView, ListLabelsKeepOneLeadingBlankAndButtonsShowTheMenuWording) {
    for (int round = 0; round < 3; ++round) {
        FView->TranslateForm();
        FView->UpdateCardCount();
    }
    EXPECT_EQ(FView->ReaderListLabel->text(), " Reader list");
    EXPECT_EQ(FView->CardCodesLabel->text(), " Card codes (0)");
    EXPECT_EQ(FView->RefreshListToolButton->text(), "Refresh reader list");
    EXPECT_EQ(FView->ClearListToolButton->text(), "Clear card codes list");
    EXPECT_EQ(FView->SaveAsToolButton->text(), "Save card codes as...");

    UseLanguageFile(
        "[MainViewForm]\nReaderList=   Leserliste\nReadMultiple=Mehrere "
        "lesen\nStopReading=\nDBGrid1Column1=Seriennummer\n"
        "DBGrid2Column4=HEX\n[Misc]\nCardCodes=Karten\n");
    FView->TranslateForm();
    FView->TranslateForm();
    FView->UpdateCardCount();
    EXPECT_EQ(FView->ReaderListLabel->text(), " Leserliste");
    EXPECT_EQ(FView->CardCodesLabel->text(), " Karten (0)");
    EXPECT_EQ(FView->ReadMultipleCardsToolButton->text(), "Mehrere lesen");
    EXPECT_EQ(FView->Readmultiplecards1->text(), "Mehrere lesen");
    EXPECT_EQ(FView->StopReadingToolButton->text(), "");  // an empty value blanks the text
    EXPECT_EQ(FView->DBGrid1->Model().headerData(1, Qt::Horizontal).toString(), "Seriennummer");
    EXPECT_EQ(FView->DBGrid2->Model().headerData(4, Qt::Horizontal).toString(), "HEX");

    // A file without the label's key keeps the text it shows; blanks inside
    // quotes do not add to the one in front.
    UseLanguageFile("[MainViewForm]\nCardCodes=\"  Karten\"\n");
    FView->TranslateForm();
    EXPECT_EQ(FView->ReaderListLabel->text(), " Leserliste");
    EXPECT_EQ(FView->CardCodesLabel->text(), " Karten");
}

TEST_F(MainView, ALanguageChosenFromTheMenuTakesEffectAtOnce) {
    // No language file at start: the texts are English.
    WriteFile("Language/Deutsch/zintareko.ini",
              "[MainViewForm]\nSelf=Talvo Zintareko DE\nFile=Datei\n[Misc]\nCardCodes=Karten\nReady=Bereit\n");
    AddCardRow();
    FView->UpdateCardCount();
    bool cancelEnabled = false;
    FOnModal = [&](QDialog& Dialog) {
        auto& selector = dynamic_cast<TSelectLangForm&>(Dialog);
        cancelEnabled = selector.Button2->isEnabled();
        selector.outLangBox->setCurrentText("Deutsch");
        selector.Button1->click();
        return selector.result();
    };
    FView->SelectLanguageMenuItem->trigger();
    EXPECT_TRUE(cancelEnabled);
    EXPECT_EQ(FView->windowTitle(), "Talvo Zintareko DE 1.1.14.016");
    EXPECT_EQ(FView->File1->title(), "Datei");
    EXPECT_EQ(FView->CardCodesLabel->text(), " Karten (1)");
    FView->SetMode(0);
    EXPECT_EQ(FView->StatusText(), "Bereit");

    // At the first start Cancel is disabled.
    FView->SelectLanguageAtFirstStart();
    EXPECT_FALSE(cancelEnabled);
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join('\n').toStdString();
}

TEST_F(MainView, AfterALanguageSwitchTheStatusAndTheReaderRowsFollowAtOnce) {
    const QByteArray german = "[Misc]\nReady=Bereit\nReadingOneCard=Lese eine Karte...\nDevice=Gerät\n";
    WriteFile("Language/English/zintareko.ini", "[Misc]\nReady=Ready\nDevice=Device\n");
    WriteFile("Language/Deutsch/zintareko.ini", german);
    UseLanguageFile(german);
    Start(TwoReaders);
    FView->ReadersMemoryData.First();
    QString language;
    FOnModal = [&](QDialog& Dialog) {
        auto& selector = dynamic_cast<TSelectLangForm&>(Dialog);
        selector.outLangBox->setCurrentText(language);
        selector.Button1->click();
        return selector.result();
    };
    const auto current = [this] {
        return FView->ReadersMemoryData.FieldByName("SerialNumber").AsString() + "@" +
               QString::number(FView->DBGrid1->currentIndex().row());
    };

    language = "English";
    FView->SelectLanguageMenuItem->trigger();
    EXPECT_EQ(FView->StatusText(), "Ready");
    EXPECT_EQ(Column("Device"), (QStringList{"Device 1", "Device 2"}));
    EXPECT_EQ(current(), "H1@0");

    // While reading, the status names the current reader in the new language.
    FView->SetMode(TMainViewForm::ModeReadingOne);
    language = "Deutsch";
    FView->SelectLanguageMenuItem->trigger();
    EXPECT_EQ(FView->StatusText(), "Lese eine Karte...  (Gerät 1)");
    EXPECT_EQ(Column("Device"), (QStringList{"Gerät 1", "Gerät 2"}));
    EXPECT_EQ(current(), "H1@0");
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join('\n').toStdString();
}

TEST_F(MainView, MinimisingHidesTheWindowOnlyWhileTheIconMenuSaysSo) {
    FView->show();
    EXPECT_TRUE(FView->Hideafterminimize1->isChecked());
    // The window system's minimise hides the window once it is through.
    FView->showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(FView->isVisible());
    FView->ShowZintareko1->trigger();
    EXPECT_TRUE(FView->isVisible());
    EXPECT_FALSE(FView->isMinimized());

    EXPECT_FALSE(FView->HandleSysCommand(0xF030));  // maximise
    EXPECT_TRUE(FView->HandleSysCommand(TMainViewForm::SC_MINIMIZE));
    EXPECT_FALSE(FView->isVisible());
    FView->ShowZintareko1->trigger();
    EXPECT_TRUE(FView->isVisible());
    FView->Hideafterminimize1->trigger();  // unchecks itself
    EXPECT_FALSE(FView->Hideafterminimize1->isChecked());
    EXPECT_FALSE(FView->HandleSysCommand(TMainViewForm::SC_MINIMIZE));
    EXPECT_TRUE(FView->isVisible());
}

TEST_F(MainView, ClosingEndsReadingAndMenuCommandsReachTheirServices) {
    Start(OneReader);
    FView->show();
    FView->SetMode(3);
    EXPECT_TRUE(FView->close());
    EXPECT_EQ(FView->Mode(), TMainViewForm::ModeIdle);
    EXPECT_EQ(FView->StatusText(), "Ready");

    FView->Talvohomepage1->trigger();
    EXPECT_EQ(FOpenedUrls, QStringList{TMainViewForm::HomePage});
    EXPECT_TRUE(FErrors.isEmpty());
    FBrowserWorks = false;
    FView->Talvohomepage1->trigger();
    EXPECT_EQ(FErrors, QStringList{"Cannot open the home page: " + QString(TMainViewForm::HomePage)});

    QString version;
    FOnModal = [&](QDialog& Dialog) {
        version = dynamic_cast<TAboutBox&>(Dialog).Version->text();
        return QDialog::Accepted;
    };
    FView->About1->trigger();
    EXPECT_EQ(version, "Version 1.1.14.016");

    bool optionsShown = false;
    FOnModal = [&](QDialog& Dialog) {
        optionsShown = &Dialog == FOptions.get();
        return QDialog::Rejected;
    };
    FView->OptionsMenuItem->trigger();
    EXPECT_TRUE(optionsShown);

    AddCardRow();
    FView->UpdateCardCount();
    // The hexadecimal column is calculated from the decimal code.
    const kit::TDBGridModel& cards = FView->DBGrid2->Model();
    EXPECT_EQ(cards.data(cards.index(0, 1)).toString(), "0004886718345");
    EXPECT_EQ(cards.data(cards.index(0, 4)).toString(), "0123456789");
    FView->ClearListToolButton->click();
    EXPECT_EQ(FView->EventsMemoryData.RecordCount(), 0);
    EXPECT_EQ(FView->CardCodesLabel->text(), " Card codes (0)");
    EXPECT_FALSE(FView->ClearListMenuItem->isEnabled());
}

TEST(CommandLine, TheSwitchCountsOnlyAsAWholeParameterInItsOwnCase) {
    struct Case {
        QStringList Arguments;
        bool Expected;
    };
    const Case cases[] = {
        {{"zintareko", "/AutoRun"}, true},
        {{"zintareko", "-x", "/AutoRun"}, true},
        {{"zintareko", "/autorun"}, false},
        {{"zintareko", "/AutoRun2"}, false},
        {{"/AutoRun"}, false},
        {{"zintareko"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TMainViewForm::ParamExists("/AutoRun", c.Arguments), c.Expected)
            << c.Arguments.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace app
