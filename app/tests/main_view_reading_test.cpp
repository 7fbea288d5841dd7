// Reading cards end to end in the main window, offscreen: the simulated
// driver library, a recording keyboard, a beep counter, the real clipboard,
// a fake notification area and a clock moved by hand. Ticks of the polling
// timer are run directly.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <memory>

#include "app/main_view_form.h"
#include "app/options_form.h"
#include "app/tests/window_test_support.h"
#include "kit/gif_frame_source.h"
#include "sim/ftdi/ftdi_sim_control.h"
#include "sim/kev3/kev3_sim_control.h"

namespace app {
namespace {

using namespace std::chrono_literals;

constexpr const char* OneReader = "clock virtual\ndevice H1 4 KEV-4 Desk Reader\ncard H1 -\n";
constexpr const char* Card1 = "card H1 R0000001234567890\n";
constexpr const char* Card2 = "card H1 T00000000000ABCDE\n";
const QString Line1Codes = ";78187493520;0005666960;086,30864;1234567890";
const QString Line2Codes = ";0000703710;0000703710;010,48350;000ABCDE";

class MainViewReading : public ::testing::Test, public testing::TMainViewTestBase {
protected:
    void SetUp() override { Start(OneReader); }
    // One tick of the polling timer, one period after the last.
    void Tick(int Count = 1) {
        for (int i = 0; i < Count; ++i) {
            FClock.Advance(100ms);
            FView->ProxyTimerTimer();
        }
    }
    void Present(const char* Card) const { ASSERT_EQ(FKev3.Apply(Card), 0); }
    int Rows() const { return FView->EventsMemoryData.RecordCount(); }
    // The text typed so far: the key-downs of digits and letters.
    QString Typed() const {
        QString text;
        for (const platform::TKeyEvent& event : FKeys.Events) {
            if ((event.Flags & platform::KEYEVENTF_KEYUP) == 0 && event.VirtualKey != platform::VK_SHIFT) {
                text += QChar(event.VirtualKey);
            }
        }
        return text;
    }
    bool Busy() const {
        return !FView->GIFAnimator1->isHidden() && FView->GIFAnimator1->Animate() && FView->TrayIcon1->Animated();
    }
    bool Idle() const {
        return FView->Mode() == TMainViewForm::ModeIdle && FView->StatusText() == "Ready" &&
               !FView->ProxyTimer->isActive() && FView->GIFAnimator1->isHidden() && !FView->GIFAnimator1->Animate() &&
               !FView->TrayIcon1->Animated() && !FView->CsvFileOpen();
    }
    QColor CountColour() const { return FView->CardCodesLabel->palette().color(QPalette::Window); }
};

TEST_F(MainViewReading, ReadOneCard) {
    FOptions->SaveToFileEdit->setText(FDir.filePath("Codes.csv"));
    const QColor designColour = CountColour();
    FView->ReadOneCardToolButton->click();
    EXPECT_EQ(FView->StatusText(), "Reading one card...  (Device 1)");
    EXPECT_TRUE(Busy());
    EXPECT_TRUE(FView->ProxyTimer->isActive());
    EXPECT_EQ(FView->ProxyTimer->interval(), 100);
    EXPECT_TRUE(FView->StopReadingToolButton->isEnabled());
    EXPECT_TRUE(FView->Stopreading1->isEnabled());
    for (const QToolButton* other :
         {FView->ReadOneCardToolButton, FView->ReadMultipleCardsToolButton, FView->RefreshListToolButton,
          FView->ClearListToolButton, FView->SaveAsToolButton}) {
        EXPECT_FALSE(other->isEnabled()) << other->objectName().toStdString();
    }

    Tick(3);  // no card yet
    EXPECT_EQ(Rows(), 0);
    Present(Card1);
    Tick();
    ASSERT_EQ(Rows(), 1);
    kit::TMemoryData& events = FView->EventsMemoryData;
    EXPECT_EQ(events.FieldByName("CardCode").AsString(), "78187493520");
    EXPECT_EQ(events.FieldByName("CardCode26").AsString(), "0005666960");
    EXPECT_EQ(events.FieldByName("CardCode8and16").AsString(), "086,30864");
    EXPECT_EQ(events.FieldByName("CardCode40Hex").AsString(), "1234567890");
    const QString line = FView->CurrentCsvLine();
    EXPECT_TRUE(line.endsWith(Line1Codes)) << line.toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), line);
    EXPECT_EQ(Typed(), "78187493520");
    EXPECT_EQ(FBeeps, 1);
    EXPECT_EQ(FView->CardCodesLabel->text(), " Card codes (1)");
    EXPECT_EQ(CountColour(), QColor(Qt::red));
    EXPECT_TRUE(FView->ClearListToolButton->isEnabled()) << "Clear list is usable while reading";

    Tick(9);  // the pause: no poll, no second row although the card stays
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(FView->Mode(), TMainViewForm::ModeReadingOne);
    Tick();
    EXPECT_TRUE(Idle());
    EXPECT_EQ(CountColour(), designColour);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(FBeeps, 1);
    EXPECT_FALSE(QFile::exists(FDir.filePath("Codes.csv"))) << "reading one card never writes the append file";
    EXPECT_TRUE(FErrors.isEmpty());
}

TEST_F(MainViewReading, ReadMultipleCardsAppendsToTheFileUntilStop) {
    FOptions->SaveToFileEdit->setText("Codes.csv");  // next to the program
    FOptions->CopyToTextBoxCheckBox->setChecked(false);
    FView->ReadMultipleCardsToolButton->click();
    EXPECT_EQ(FView->StatusText(), "Reading multiple cards...  (Device 1) [Saving to CSV file: Codes.csv]");
    EXPECT_TRUE(FView->CsvFileOpen());
    Present(Card1);
    Tick();
    const QString first = FView->CurrentCsvLine();
    EXPECT_EQ(ReadFile("Codes.csv"), (first + "\r\n").toLocal8Bit()) << "the line is in the file at once";
    Present(Card2);
    Tick(10);
    ASSERT_EQ(Rows(), 2);
    const QString second = FView->CurrentCsvLine();
    EXPECT_TRUE(second.endsWith(Line2Codes)) << second.toStdString();
    EXPECT_EQ(FView->Mode(), TMainViewForm::ModeReadingMultiple);

    FView->Stopreading1->trigger();  // from the icon's menu
    EXPECT_TRUE(Idle());
    EXPECT_EQ(ReadFile("Codes.csv"), (first + "\r\n" + second + "\r\n").toLocal8Bit());
    EXPECT_TRUE(FKeys.Events.empty());
    Tick(20);
    EXPECT_EQ(Rows(), 2) << "no poll after Stop";
}

TEST_F(MainViewReading, ALongStatusTextNeverWidensTheWindow) {
    const QString ready(2000, 'R');  // a language file value holds up to 2047 characters
    UseLanguageFile("[Misc]\nReady=" + ready.toUtf8() + "\n");
    Start(OneReader);
    FOptions->SaveToFileEdit->setText(FDir.filePath(QString(90, 'p') + ".csv"));
    const int designWidth = FView->width();
    const auto width = [this] {
        QApplication::processEvents();  // the layout's pending requests
        return FView->width();
    };
    FView->show();
    EXPECT_EQ(width(), designWidth);
    FView->ReadMultipleCardsToolButton->click();
    Present(Card1);
    Tick();
    EXPECT_EQ(width(), designWidth) << "reading, with a long append file name";
    FView->StopReadingToolButton->click();
    EXPECT_EQ(width(), designWidth);

    // The panel shows what fits; pointing at it and StatusText() give the whole text.
    auto* panel = FView->StatusBar1->findChild<kit::TElidedLabel*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(FView->StatusText(), ready);
    EXPECT_EQ(testing::ToolTipShown(*panel), ready);
    EXPECT_LT(panel->ShownText().size(), ready.size());
}

TEST_F(MainViewReading, AFailedReaderCheckStopsBothIndicators) {
    Start("clock virtual\n");
    FView->ReadMultipleCardsToolButtonClick();  // as a log-on start does, with no reader listed
    EXPECT_EQ(FErrors, QStringList{"Device Init Error"});
    EXPECT_TRUE(Idle());
}

TEST_F(MainViewReading, SaveAsWritesEveryRowAndKeepsTheOldFileOnFailure) {
    FOptions->SaveToFileCheckBox->setChecked(false);
    FView->ReadMultipleCardsToolButton->click();
    for (const char* card : {Card1, Card2, Card1}) {
        Present(card);
        Tick(10);
    }
    FView->StopReadingToolButton->click();
    ASSERT_EQ(Rows(), 3);
    ASSERT_TRUE(FView->SaveAsToolButton->isEnabled());

    QString target = FDir.filePath("saved.csv");
    FServices.AskSaveFileName = [&](QWidget*, const TSaveDialog& Dialog) {
        EXPECT_EQ(Dialog.Title, "Save card codes");
        return target;
    };
    // The grid does not follow the walk, and the row the user was on stays current.
    FView->EventsMemoryData.SetRecNo(2);
    int moves = 0;
    QObject::connect(&FView->DBGrid2->Model(), &kit::TDBGridModel::CurrentRowChanged, [&moves] { ++moves; });
    FView->SaveAsToolButton->click();
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(FView->EventsMemoryData.RecNo(), 2);
    EXPECT_EQ(FView->DBGrid2->currentIndex().row(), 1);
    const QList<QByteArray> lines = ReadFile("saved.csv").split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith((Line1Codes + "\r").toLatin1()));
    EXPECT_TRUE(lines[1].endsWith((Line2Codes + "\r").toLatin1()));
    EXPECT_TRUE(lines[2].endsWith((Line1Codes + "\r").toLatin1()));
    EXPECT_EQ(lines[3], "");

    target = FDir.path();  // a folder: cannot be written
    FView->SaveAsToolButton->click();
    ASSERT_EQ(FErrors.size(), 1);
    EXPECT_TRUE(FErrors[0].startsWith("Saving CSV file error. Details: ")) << FErrors[0].toStdString();
    target.clear();  // cancelled
    FView->SaveAsToolButton->click();
    EXPECT_EQ(FErrors.size(), 1);
}

TEST_F(MainViewReading, ClosingStopsTheTimerSoNoQueuedTickReads) {
    FOptions->SaveToFileEdit->setText("Codes.csv");
    FView->ReadMultipleCardsToolButton->click();
    EXPECT_TRUE(FView->close());
    EXPECT_TRUE(Idle());
    Present(Card1);
    FView->ProxyTimerTimer();  // a tick that was already queued
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(FKeys.Events.empty());
}

TEST_F(MainViewReading, TrayIconCarriesTheMenuAndDrivesReadingWhileHidden) {
    ASSERT_NE(FTray, nullptr);
    EXPECT_TRUE(FView->TrayIcon1->Added());
    EXPECT_EQ(FTray->Last.Tip, "Talvo Zintareko");
    EXPECT_EQ(FView->TrayIcon1->PopupMenu(), FView->PopupMenu1);
    EXPECT_EQ(FView->TrayIcon1->Interval(), 800);
    EXPECT_GT(FView->TrayIcon1->Icons().Count(), 1);

    FView->show();
    EXPECT_TRUE(FView->HandleSysCommand(TMainViewForm::SC_MINIMIZE));
    EXPECT_FALSE(FView->isVisible());
    FOptions->SaveToFileCheckBox->setChecked(false);
    FView->Readmultiplecards1->trigger();
    EXPECT_TRUE(FView->TrayIcon1->Animated());
    FTray->Message(kit::TTrayMessage::LeftDouble);  // runs the menu's default item
    EXPECT_TRUE(FView->isVisible());
    EXPECT_TRUE(FView->GIFAnimator1->isVisible());
    FView->Stopreading1->trigger();
    EXPECT_TRUE(Idle());
}

TEST_F(MainViewReading, TheBusyStripLoopsElevenFullWidthFramesOfA600By1Screen) {
    auto* source = dynamic_cast<kit::TGIFFrameSource*>(FView->GIFAnimator1->Image());
    ASSERT_NE(source, nullptr);
    kit::TGIFImage& gif = source->Image();
    EXPECT_EQ(gif.FormatVersion(), 2);
    EXPECT_EQ(QSize(gif.LogicalWidth(), gif.LogicalHeight()), QSize(600, 1));
    EXPECT_EQ(gif.GlobalData().ColorTable.Count, 256);
    EXPECT_TRUE(gif.LoopEnabled());
    EXPECT_EQ(gif.LoopCount(), 1000);
    EXPECT_FALSE(gif.GlobalData().CommentLines.empty());  // a comment after the last frame
    ASSERT_EQ(gif.FrameCount(), 11);
    for (int i = 0; i < gif.FrameCount(); ++i) {
        kit::TGIFFrame* frame = gif.FrameAt(i);
        EXPECT_EQ(QRect(frame->Origin(), QSize(frame->FrameWidth(), frame->FrameHeight())), QRect(0, 0, 600, 1));
        EXPECT_FALSE(frame->IsDamaged()) << i;
        EXPECT_EQ(frame->DelayMs(), 60u) << i;
        EXPECT_EQ(frame->TransparentKey(), kit::clNone) << i;
        EXPECT_EQ(frame->DisposalMode(), 0) << i;
    }
    // The loop count is only stored: the strip runs until reading stops.
    EXPECT_TRUE(FView->GIFAnimator1->Loop());
}

TEST_F(MainViewReading, WithoutANotificationAreaMinimiseNeverHides) {
    FTrayWorks = false;
    Start(OneReader);
    EXPECT_FALSE(FView->TrayIcon1->Added());
    FView->show();
    EXPECT_FALSE(FView->HandleSysCommand(TMainViewForm::SC_MINIMIZE));
    EXPECT_TRUE(FView->isVisible());
}

}  // namespace
}  // namespace app
