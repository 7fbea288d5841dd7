#include "app/reading_loop.h"

#include <utility>

namespace app {

namespace {

// Sets a flag for the life of a scope, so that it drops on every way out.
class TFlagScope {
public:
    explicit TFlagScope(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
};

bool IsReading(std::uint8_t Mode) { return Mode == mdReadingOne || Mode == mdReadingMultiple; }

}  // namespace

TReadingLoop::TReadingLoop(TReadingWindow& Window, TReaderService& Readers, TCardOutputs& Outputs,
                           const platform::MonotonicClock& Clock, QString FilesFolder)
    : FWindow(Window), FReaders(Readers), FOutputs(Outputs), FClock(Clock), FFilesFolder(std::move(FilesFolder)) {}

void TReadingLoop::StartReading() {
    FPauseUntil.reset();
    bool present = false;
    try {
        present = FReaders.InitReader(FWindow.CurrentSerial());
    } catch (const std::exception&) {
        present = false;
    }
    if (!present) {
        EnterIdle();
        FWindow.ShowErrorBox(FWindow.MiscText(QStringLiteral("DeviceInitError"), QStringLiteral("Device Init Error")));
        return;
    }
    if (FWindow.Mode() == mdReadingMultiple && FWindow.SaveToFile()) {
        try {
            FCsvFile.Open(FWindow.FileName(), FFilesFolder);
        } catch (const ECsvFileError& Error) {
            EnterIdle();
            ShowSavingError(Error.Message());
            return;
        }
    }
    FWindow.SetPollingTimer(true);
}

void TReadingLoop::ProxyTimerTimer() {
    if (FTimerBusy || !IsReading(FWindow.Mode())) {
        return;
    }
    const TFlagScope busy(FTimerBusy);
    ReadCardOnce();
    FWindow.ProcessMessages();
}

void TReadingLoop::ReadCardOnce() {
    if (FPauseUntil) {
        if (FClock.Now() < *FPauseUntil) {
            return;
        }
        EndPause();
        if (FWindow.Mode() == mdReadingOne) {
            StopReading();
            return;
        }
    }
    FWindow.HighlightCardCount(false);

    // A failing poll is dropped: the next tick polls again.
    TCardCode code;
    try {
        const QString raw = FReaders.ReadCardCode(FWindow.CurrentSerial(), 0);
        if (raw.isEmpty() || !RenderCardCode(FReaders, raw, code)) {
            return;
        }
    } catch (const std::exception&) {
        return;
    }

    // The card is in hand: whatever fails from here on, every output is still
    // tried and the pause still follows, so the card is never listed twice.
    const QDateTime time = FWindow.Now();
    const QString line = CsvLine(time, code);
    Attempt([&] { FWindow.AddCardRow(time, code); });
    Attempt([&] { FWindow.HighlightCardCount(true); });

    // The file first, so that no other output can keep the line from it.
    std::optional<QString> fileError;
    if (FCsvFile.IsOpen()) {
        try {
            FCsvFile.WriteLine(line);
        } catch (const std::exception& Error) {
            fileError = QString::fromUtf8(Error.what());
        }
    }
    DeliverCard(code, line, FWindow.OutputOptions(), FOutputs);
    if (fileError) {
        EnterIdle();
        ShowSavingError(*fileError);
        return;
    }
    FPauseUntil = FClock.Now() + CardPause;
}

void TReadingLoop::StopReading() {
    if (const std::optional<QString> closeError = EnterIdle()) {
        ShowSavingError(*closeError);
    }
}

std::optional<QString> TReadingLoop::EnterIdle() {
    FWindow.SetPollingTimer(false);
    EndPause();
    FWindow.SetMode(mdIdle);
    try {
        FCsvFile.Close();
    } catch (const ECsvFileError& Error) {
        return Error.Message();
    }
    return std::nullopt;
}

void TReadingLoop::EndPause() {
    FPauseUntil.reset();
    FWindow.HighlightCardCount(false);
}

void TReadingLoop::ShowSavingError(const QString& Details) {
    FWindow.ShowErrorBox(
        FWindow.MiscText(QStringLiteral("SavingError"), QStringLiteral("Saving CSV file error. Details:")) +
        QLatin1Char(' ') + Details);
}

}  // namespace app
