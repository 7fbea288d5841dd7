#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "kit/tray_backend.h"
#include "platform/key_sink.h"
#include "platform/monotonic_clock.h"

namespace app {

// The reader layer as the windows see it: the reader facade's operations with
// Qt texts. Errors of the reader layer pass as exceptions.
class TReaderService {
public:
    TReaderService() = default;
    TReaderService(const TReaderService&) = delete;
    TReaderService& operator=(const TReaderService&) = delete;
    virtual ~TReaderService() = default;

    // 0 on success; the three lists run in parallel. When an error passes,
    // the lists hold the readers that could be listed.
    virtual int ListReaders(QStringList& Serials, QStringList& Descriptions, QStringList& Ports) = 0;
    virtual QString GetReaderInfo(const QString& Serial, const QString& Description) = 0;
    virtual bool InitReader(const QString& Serial) = 0;
    // One raw card code, empty when none was read.
    virtual QString ReadCardCode(const QString& Serial, int TimeoutMs) = 0;
    virtual bool ConvertCardCode(const QString& Code, QString& Full, QString& Code40, QString& Code24,
                                 QString& Code8and16) = 0;
    virtual QString CardCodeToHex(const QString& DecimalCode, int Digits) = 0;
};

// The reader service over the reader facade (both reader families).
std::shared_ptr<TReaderService> KevReaderService();

// A file-save dialog's settings. Filter is written as description and
// pattern pairs separated by "|" ("CSV files(*.csv)|*.csv"). The dialog opens
// in InitialDir, or where the toolkit chooses when that is empty.
struct TSaveDialog {
    QString Title;
    QString Filter;
    QString DefaultExt;
    QString InitialDir = {};
};

// Qt's name filters for a Filter of TSaveDialog, one per pair: the
// description and the pattern in parentheses, "CSV files (*.csv)"; a
// description that ends in its own pattern keeps it once, and one without a
// pattern stands alone.
QStringList NameFilters(const QString& Filter);

// What the windows need from the desktop and the reader layer, replaceable by
// tests. DefaultServices() gives the real ones.
struct TAppServices {
    // A modal error box with one OK button.
    std::function<void(const QString& Message)> ShowError;
    // A modal question with Yes and No; true for Yes.
    std::function<bool(const QString& Question)> AskYesNo;
    // Shows a dialog modally and returns its result.
    std::function<int(QDialog& Dialog)> ExecModal;
    // The full name of the file the user chose to save to, or empty.
    std::function<QString(QWidget* Parent, const TSaveDialog& Dialog)> AskSaveFileName;
    // The default message beep.
    std::function<void()> Beep;
    std::function<void(const QString& Text)> SetClipboardText;
    // Opens an address in the user's browser; false when no browser took it.
    std::function<bool(const QUrl& Address)> OpenUrl;
    // The program's version text (empty when the file has no version block).
    std::function<QString()> AppVersion;
    std::shared_ptr<TReaderService> Readers;
    // The keyboard into which card codes are typed.
    std::function<std::unique_ptr<platform::KeySink>()> OpenKeySink;
    // The notification area for the window's icon, and whether the desktop has one.
    std::function<std::unique_ptr<kit::TTrayBackend>()> OpenTrayBackend;
    std::function<bool()> TrayAvailable;
    // The clock of the pause after each card.
    const platform::MonotonicClock* Clock = &platform::SystemClock();
};

TAppServices DefaultServices();

}  // namespace app
