// The reading loop against a scripted reader, a recording window and an
// injected clock: no event loop, no real time.

#include "app/reading_loop.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/testing/fake_clock.h"
#include "platform/testing/file_size_limit.h"

namespace app {
namespace {

using namespace std::chrono_literals;

// Answers each poll with the next scripted code ("" no card, "!" raises);
// renders codes as the reader layer does.
class TScriptedReader final : public TReaderService {
public:
    int ListReaders(QStringList&, QStringList&, QStringList&) override { return 0; }
    QString GetReaderInfo(const QString&, const QString&) override { return {}; }
    bool ConvertCardCode(const QString& Code, QString& Full, QString& Code40, QString& Code24,
                         QString& Code8and16) override {
        return FRenderer->ConvertCardCode(Code, Full, Code40, Code24, Code8and16);
    }
    QString CardCodeToHex(const QString& DecimalCode, int Digits) override {
        return FRenderer->CardCodeToHex(DecimalCode, Digits);
    }

    bool InitReader(const QString& Serial) override {
        InitSerials.push_back(Serial);
        if (InitAnswer == "!") {
            throw std::runtime_error("libTalvoKEV3.so open Device not found");
        }
        return InitAnswer == "yes";
    }
    QString ReadCardCode(const QString& Serial, int TimeoutMs) override {
        EXPECT_EQ(TimeoutMs, 0);
        ++Polls;
        EXPECT_EQ(Serial, "SER2");
        if (DuringPoll) {
            DuringPoll();
        }
        if (Codes.empty()) {
            return {};
        }
        const std::string code = Codes.front();
        Codes.pop_front();
        if (code == "!") {
            throw std::runtime_error("libTalvoKEV3.so read I/O error");
        }
        return QString::fromStdString(code);
    }

    std::string InitAnswer = "yes";
    QStringList InitSerials;
    std::deque<std::string> Codes;
    int Polls = 0;
    std::function<void()> DuringPoll;

private:
    std::shared_ptr<TReaderService> FRenderer = KevReaderService();
};

class TRecordingOutputs final : public TCardOutputs {
public:
    void Beep() override { ++Beeps; }
    void TypeText(const std::string& Text) override { Typed.push_back(Text); }
    void SetClipboardText(const QString& Text) override {
        if (ClipboardFails) {
            throw std::runtime_error("clipboard unavailable");
        }
        Clipboard = Text;
    }

    int Beeps = 0;
    std::vector<std::string> Typed;
    QString Clipboard = "untouched";
    bool ClipboardFails = false;
};

class TRecordingWindow final : public TReadingWindow {
public:
    std::uint8_t Mode() const override { return FMode; }
    void SetMode(std::uint8_t Mode) override {
        FMode = Mode;
        Modes.push_back(Mode);
    }
    QString CurrentSerial() const override { return "SER2"; }
    void AddCardRow(const QDateTime& Time, const TCardCode& Code) override {
        EXPECT_EQ(Time, Now());
        Rows.push_back(Code);
        if (AfterRow) {
            AfterRow();
        }
    }
    void HighlightCardCount(bool On) override { Highlighted = On; }
    void SetPollingTimer(bool Enabled) override { TimerOn = Enabled; }
    void ShowErrorBox(const QString& Text) override {
        Errors.push_back(Text);
        if (DuringBox) {
            DuringBox();
        }
    }
    void ProcessMessages() override {
        ++Pumps;
        if (DuringPump) {
            DuringPump();
        }
    }
    QString MiscText(const QString& Key, const QString& Default) const override {
        return Key == "SavingError" ? QStringLiteral("Fehler:") : Default;
    }
    QDateTime Now() const override { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); }
    TCardOutputOptions OutputOptions() const override { return Options; }
    bool SaveToFile() const override { return Append; }
    QString FileName() const override { return AppendFile; }

    std::uint8_t FMode = mdIdle;
    std::vector<std::uint8_t> Modes;
    std::vector<TCardCode> Rows;
    bool Highlighted = false;
    bool TimerOn = false;
    QStringList Errors;
    int Pumps = 0;
    std::function<void()> DuringBox;
    std::function<void()> DuringPump;
    std::function<void()> AfterRow;
    TCardOutputOptions Options{true, true, cf40BitHex, eolCR, true};
    bool Append = true;
    QString AppendFile = "Codes.csv";
};

const TCardCode Card1{"0004886718345", "0004548489", "069,26505", "0123456789"};
const TCardCode Card2{"0000011259375", "0011259375", "171,52719", "0000ABCDEF"};

class ReadingLoop : public ::testing::Test {
protected:
    void Start(std::uint8_t Mode) {
        FWindow.SetMode(Mode);
        FLoop.StartReading();
    }
    // Ticks of the timer, each after one period.
    void Tick(int Count = 1) {
        for (int i = 0; i < Count; ++i) {
            FClock.Advance(std::chrono::milliseconds(ProxyTimerInterval));
            FLoop.ProxyTimerTimer();
        }
    }
    QByteArray AppendFileBytes() const {
        QFile file(FDir.filePath("Codes.csv"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static QString Line(const TCardCode& Code) { return CsvLine(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)), Code); }

    QTemporaryDir FDir;
    TScriptedReader FReader;
    TRecordingOutputs FOutputs;
    TRecordingWindow FWindow;
    platform::testing::FakeClock FClock;
    TReadingLoop FLoop{FWindow, FReader, FOutputs, FClock, FDir.path()};
};

TEST_F(ReadingLoop, ReadOneCardPassesTheCardOnAndEndsAfterThePause) {
    FReader.Codes = {"", "", "0123456789", "0000ABCDEF"};
    Start(mdReadingOne);
    EXPECT_EQ(FReader.InitSerials, QStringList{"SER2"});
    EXPECT_TRUE(FWindow.TimerOn);
    EXPECT_FALSE(FLoop.CsvFileOpen()) << "reading one card never opens the append file";

    Tick(3);
    EXPECT_EQ(FReader.Polls, 3);
    EXPECT_EQ(FWindow.Rows, std::vector<TCardCode>{Card1});
    EXPECT_TRUE(FWindow.Highlighted);
    EXPECT_EQ(FOutputs.Beeps, 1);
    EXPECT_EQ(FOutputs.Typed, std::vector<std::string>{"0123456789\n"});
    EXPECT_EQ(FOutputs.Clipboard, Line(Card1));
    EXPECT_EQ(FWindow.Pumps, 3);

    Tick(9);  // 900 ms into the pause: no poll, still reading
    EXPECT_EQ(FReader.Polls, 3);
    EXPECT_EQ(FWindow.FMode, mdReadingOne);
    EXPECT_TRUE(FWindow.Highlighted);

    Tick();  // the pause has run out: back to idle without a further poll
    EXPECT_EQ(FReader.Polls, 3);
    EXPECT_EQ(FWindow.FMode, mdIdle);
    EXPECT_FALSE(FWindow.TimerOn);
    EXPECT_FALSE(FWindow.Highlighted);
    EXPECT_EQ(AppendFileBytes(), "<missing>");

    Tick();  // a tick still queued after the end does nothing
    EXPECT_EQ(FReader.Polls, 3);
    EXPECT_TRUE(FWindow.Errors.isEmpty());
}

TEST_F(ReadingLoop, ReadMultipleCardsAppendsAFlushedLinePerCardUntilStop) {
    FReader.Codes = {"0123456789", "", "0000ABCDEF"};
    Start(mdReadingMultiple);
    ASSERT_TRUE(FLoop.CsvFileOpen());
    EXPECT_EQ(FLoop.CsvFileName(), FDir.filePath("Codes.csv")) << "a relative name is taken in the program folder";

    Tick();
    EXPECT_EQ(AppendFileBytes(), (Line(Card1) + "\r\n").toLatin1());
    Tick(9);  // the pause
    EXPECT_EQ(FReader.Polls, 1);
    Tick(2);
    EXPECT_EQ(FReader.Polls, 3);
    EXPECT_EQ(FWindow.FMode, mdReadingMultiple) << "reading multiple cards goes on after a card";
    EXPECT_EQ(AppendFileBytes(), (Line(Card1) + "\r\n" + Line(Card2) + "\r\n").toLatin1());

    FLoop.StopReading();
    EXPECT_FALSE(FLoop.CsvFileOpen());
    EXPECT_FALSE(FWindow.TimerOn);
    EXPECT_EQ(FWindow.FMode, mdIdle);

    FReader.Codes = {"0123456789"};
    Start(mdReadingMultiple);
    Tick();
    FLoop.StopReading();
    EXPECT_EQ(AppendFileBytes(), (Line(Card1) + "\r\n" + Line(Card2) + "\r\n" + Line(Card1) + "\r\n").toLatin1())
        << "starting again appends to the same file";
}

TEST_F(ReadingLoop, StartFailuresShowTheirBoxAndLeaveReadingIdle) {
    struct TCase {
        std::string Init;
        bool Append;
        QString File;
        QString Error;
    };
    const std::vector<TCase> cases = {
        {"no", true, "Codes.csv", "Device Init Error"},
        {"!", true, "Codes.csv", "Device Init Error"},
        {"yes", true, "", "Fehler: "},
        {"yes", true, "missing/Codes.csv", "Fehler: "},
        {"yes", true, QStringLiteral("Codes") + QChar(0) + QStringLiteral(".csv"), "Fehler: "},
    };
    for (const TCase& c : cases) {
        TRecordingWindow window;
        TScriptedReader reader;
        reader.InitAnswer = c.Init;
        window.Append = c.Append;
        window.AppendFile = c.File;
        TReadingLoop loop(window, reader, FOutputs, FClock, FDir.path());
        window.SetMode(mdReadingMultiple);
        loop.StartReading();
        ASSERT_EQ(window.Errors.size(), 1) << c.File.toStdString();
        EXPECT_TRUE(window.Errors[0].startsWith(c.Error)) << window.Errors[0].toStdString();
        EXPECT_EQ(window.FMode, mdIdle);
        EXPECT_FALSE(window.TimerOn);
        EXPECT_FALSE(loop.CsvFileOpen());
        loop.ProxyTimerTimer();
        EXPECT_EQ(reader.Polls, 0);
    }
}

TEST_F(ReadingLoop, FailingPollsAndCodesThatDoNotConvertAreNoCards) {
    FReader.Codes = {"!", "XYZ", "!", "0123456789"};
    FOutputs.Clipboard = "kept";
    Start(mdReadingMultiple);
    Tick(3);
    EXPECT_EQ(FReader.Polls, 3);
    EXPECT_TRUE(FWindow.Rows.empty());
    EXPECT_EQ(FOutputs.Beeps, 0);
    EXPECT_TRUE(FOutputs.Typed.empty());
    EXPECT_EQ(FOutputs.Clipboard, "kept");
    EXPECT_EQ(AppendFileBytes(), "");
    EXPECT_EQ(FWindow.FMode, mdReadingMultiple);
    EXPECT_TRUE(FWindow.Errors.isEmpty());
    Tick();
    EXPECT_EQ(FWindow.Rows.size(), 1);
}

TEST_F(ReadingLoop, AFailingClipboardLosesNeitherTheFileLineNorTheKeys) {
    FReader.Codes = {"0123456789"};
    FOutputs.ClipboardFails = true;
    Start(mdReadingMultiple);
    Tick();
    EXPECT_EQ(AppendFileBytes(), (Line(Card1) + "\r\n").toLatin1());
    EXPECT_EQ(FOutputs.Typed.size(), 1);
    EXPECT_EQ(FOutputs.Beeps, 1);
    EXPECT_EQ(FWindow.FMode, mdReadingMultiple);
}

// The count label's text lookup failing once the row is in the list: the
// card is still passed on, and not listed again while it lies on the reader.
TEST_F(ReadingLoop, AFailureAfterTheRowIsAddedKeepsTheOutputsAndThePause) {
    FReader.Codes = {"0123456789", "0123456789", "0123456789"};
    FWindow.AfterRow = [] { throw std::runtime_error("Unable to read zintareko.ini"); };
    Start(mdReadingMultiple);
    Tick(10);
    EXPECT_EQ(FReader.Polls, 1);
    EXPECT_EQ(FWindow.Rows.size(), 1);
    EXPECT_EQ(AppendFileBytes(), (Line(Card1) + "\r\n").toLatin1());
    EXPECT_EQ(FOutputs.Beeps, 1);
    EXPECT_EQ(FOutputs.Typed.size(), 1);
    EXPECT_EQ(FOutputs.Clipboard, Line(Card1));
    EXPECT_EQ(FWindow.FMode, mdReadingMultiple);
}

TEST_F(ReadingLoop, ATickThatReentersIsIgnored) {
    FReader.Codes = {"", "0123456789"};
    FReader.DuringPoll = [this] { FLoop.ProxyTimerTimer(); };
    FWindow.DuringPump = [this] {
        EXPECT_TRUE(FLoop.TimerBusy());
        FLoop.ProxyTimerTimer();
    };
    Start(mdReadingMultiple);
    Tick();
    EXPECT_EQ(FReader.Polls, 1);
    EXPECT_FALSE(FLoop.TimerBusy());
    Tick();
    EXPECT_EQ(FReader.Polls, 2);
    EXPECT_EQ(FWindow.Rows.size(), 1);
}

TEST_F(ReadingLoop, AWriteErrorStopsReadingWithOneBoxAndNoFurtherPoll) {
    FReader.Codes = {"0123456789", "0123456789"};
    const QTemporaryDir folder;
    FWindow.AppendFile = folder.filePath("Codes.csv");
    FWindow.DuringBox = [this] {
        EXPECT_FALSE(FWindow.TimerOn) << "the timer is off while the box is open";
        FLoop.ProxyTimerTimer();
        FClock.Advance(5s);
        FLoop.ProxyTimerTimer();
    };
    Start(mdReadingMultiple);
    ASSERT_TRUE(FLoop.CsvFileOpen());
    {
        const platform::testing::FileSizeLimit full(0);
        Tick();
    }
    ASSERT_EQ(FWindow.Errors.size(), 1);
    EXPECT_TRUE(FWindow.Errors[0].startsWith("Fehler: ")) << FWindow.Errors[0].toStdString();
    EXPECT_TRUE(FWindow.Errors[0].contains(FWindow.AppendFile)) << FWindow.Errors[0].toStdString();
    EXPECT_EQ(FReader.Polls, 1);
    EXPECT_EQ(FWindow.FMode, mdIdle);
    EXPECT_FALSE(FWindow.TimerOn);
    EXPECT_FALSE(FLoop.CsvFileOpen());
    EXPECT_FALSE(FWindow.Highlighted);
    EXPECT_EQ(FWindow.Rows.size(), 1) << "the card is still listed";
    EXPECT_EQ(FOutputs.Typed.size(), 1) << "and still typed";
    EXPECT_EQ(FOutputs.Clipboard, Line(Card1));
}

TEST_F(ReadingLoop, StopDuringThePauseEndsItAndALaterStartPollsAtOnce) {
    FReader.Codes = {"0123456789", "0000ABCDEF"};
    Start(mdReadingOne);
    Tick();
    FLoop.StopReading();
    EXPECT_EQ(FWindow.FMode, mdIdle);
    EXPECT_FALSE(FWindow.Highlighted);
    Start(mdReadingOne);
    Tick();
    EXPECT_EQ(FReader.Polls, 2);
    EXPECT_EQ(FWindow.Rows.size(), 2);
}

}  // namespace
}  // namespace app
