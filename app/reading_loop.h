#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

#include "app/card_output.h"
#include "platform/monotonic_clock.h"

namespace app {

// Modes of the main window.
enum EMode : std::uint8_t { mdIdle = 0, mdRefreshing = 1, mdReadingOne = 2, mdReadingMultiple = 3 };

// Polling period of the reading timer, and the pause after a handled card
// during which no poll happens.
inline constexpr int ProxyTimerInterval = 100;
inline constexpr std::chrono::milliseconds CardPause{1000};

// The main window as the reading loop sees it.
class TReadingWindow {
public:
    virtual ~TReadingWindow() = default;
    virtual std::uint8_t Mode() const = 0;
    // Enters a mode: status text, enabling of the commands, busy indicators.
    virtual void SetMode(std::uint8_t Mode) = 0;
    // Serial number of the selected reader; empty when the list is empty.
    virtual QString CurrentSerial() const = 0;
    // Adds a row to the card list and updates the count label.
    virtual void AddCardRow(const QDateTime& Time, const TCardCode& Code) = 0;
    // The count label in red while a card is being handled, else its own colour.
    virtual void HighlightCardCount(bool On) = 0;
    virtual void SetPollingTimer(bool Enabled) = 0;
    // A modal error box (error icon, OK).
    virtual void ShowErrorBox(const QString& Text) = 0;
    // Handles the application's pending messages.
    virtual void ProcessMessages() = 0;
    // A text of the language file's "Misc" section.
    virtual QString MiscText(const QString& Key, const QString& Default) const = 0;
    virtual QDateTime Now() const = 0;
    // The options at this moment.
    virtual TCardOutputOptions OutputOptions() const = 0;
    virtual bool SaveToFile() const = 0;
    virtual QString FileName() const = 0;
};

// Reading cards on the UI thread: the reader check, the polling tick of the
// window's timer, the output of every card, the append file, and the way
// back to idle. The pause after a card is a deadline that the ticks check, so
// the event loop keeps running during it.
class TReadingLoop {
public:
    // Relative append-file names are taken inside FilesFolder.
    TReadingLoop(TReadingWindow& Window, TReaderService& Readers, TCardOutputs& Outputs,
                 const platform::MonotonicClock& Clock, QString FilesFolder);

    // After the window has entered mode 2 or 3: checks the reader, opens the
    // append file when reading multiple cards with the append option, and
    // starts the timer; on failure an error box and back to idle.
    void StartReading();
    // One timer tick. Does nothing while an earlier tick is still running
    // (its message handling lets further ticks in), while no reading mode is
    // on, and before the pause after a card has run out.
    void ProxyTimerTimer();
    // Stops the timer, closes the append file and enters idle: Stop, the end
    // of a single read, closing the window. A close error is shown once.
    void StopReading();

    // The error box of every CSV file: the translated lead text, a blank, Details.
    void ShowSavingError(const QString& Details);

    bool TimerBusy() const { return FTimerBusy; }
    bool CsvFileOpen() const { return FCsvFile.IsOpen(); }
    QString CsvFileName() const { return FCsvFile.FileName(); }

private:
    void ReadCardOnce();
    // Back to idle; returns the close error of the append file, if any.
    std::optional<QString> EnterIdle();
    void EndPause();

    TReadingWindow& FWindow;
    TReaderService& FReaders;
    TCardOutputs& FOutputs;
    const platform::MonotonicClock& FClock;
    QString FFilesFolder;

    bool FTimerBusy = false;
    TAppendFile FCsvFile;
    std::optional<platform::MonotonicClock::TimePoint> FPauseUntil;
};

}  // namespace app
