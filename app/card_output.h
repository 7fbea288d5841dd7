#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "app/app_services.h"
#include "kit/exception.h"
#include "platform/key_sink.h"

namespace app {

// The renderings of one card code that the card list keeps and passes on.
struct TCardCode {
    QString Full;        // the whole code in decimal
    QString Code24;      // the low 24 bits as 10 decimal digits
    QString Code8and16;  // the low 24 bits split 8/16, "%3.3d,%5.5d"
    QString Hex;         // the whole code in hexadecimal

    bool operator==(const TCardCode&) const = default;
};

// Renders a raw code from a reader. False, with every rendering empty, when
// it is not a code: a reader answer that does not convert counts as no card.
bool RenderCardCode(TReaderService& Readers, const QString& Raw, TCardCode& Code);

// Keyboard formats and ends of line, as the options dialog numbers them.
enum ECodeFormat { cf40Bit = 0, cf24Bit = 1, cf8Plus16Bit = 2, cf40BitHex = 3 };
enum EEndOfLine { eolNone = 0, eolTab = 1, eolCR = 2, eolLF = 3 };

// The text typed for a card: the chosen rendering and the chosen end of line.
// The item shown as "CR" types a line feed (10) and the one shown as "LF" a
// carriage return (13). Empty, without an end of line, when no format is
// selected or the rendering is empty.
std::string CardKeyboardText(const TCardCode& Code, int CodeFormat, int EndOfLine);

// One card as a CSV line: time (the standard date-time text of the locale),
// full, 24-bit, 8+16-bit and hexadecimal code joined by ";"; no quoting, no line end.
QString CsvLine(const QDateTime& Time, const TCardCode& Code);

// An error writing a CSV file; the message is shown after the lead text of
// the saving-error box.
class ECsvFileError : public kit::Exception {
public:
    using kit::Exception::Exception;
};

// The file that card lines are appended to while reading multiple cards. It
// only ever holds whole lines: the part of a line that cannot be written
// whole is cut back off (and nothing else: another copy of the tool may
// append to the same file), and a file that ends inside a line (left so by
// some other failure) gets its next line on a line of its own. Error texts
// are translated through the language file's "Misc" section.
class TAppendFile {
public:
    TAppendFile() = default;
    ~TAppendFile();
    TAppendFile(const TAppendFile&) = delete;
    TAppendFile& operator=(const TAppendFile&) = delete;

    // Opens FileName for appending, creating it when missing. A relative name
    // is taken inside BaseFolder, never the current folder; an empty name, one
    // holding a control character and anything but a regular file (a FIFO, a
    // device) are refused. Raises ECsvFileError.
    void Open(const QString& FileName, const QString& BaseFolder);
    bool IsOpen() const { return FDescriptor >= 0; }
    QString FileName() const { return FFileName; }
    // Writes Line with CR LF straight to the file. Raises ECsvFileError with
    // the system's reason; the file then holds what it held before.
    void WriteLine(const QString& Line);
    // Closes the file; the file counts as closed afterwards even when
    // closing fails, which raises ECsvFileError. Nothing happens when closed.
    void Close();

private:
    QString FFileName;
    int FDescriptor = -1;
    // Written before the next line, so that it starts on a line of its own.
    QByteArray FMissingLineEnd;
};

// Writes Lines, each ended by CR LF, as the whole new content of FileName.
// The old file stays untouched until everything is on the disk, and stays
// as it was when anything fails. Raises ECsvFileError with the system's reason.
void SaveCsvFile(const QString& FileName, const QStringList& Lines);

// What happens to a card beyond the card list, as the options say at that moment.
struct TCardOutputOptions {
    bool PlaySound = false;
    bool CopyToTextBox = false;
    int CodeFormat = cf40Bit;
    int EndOfLine = eolNone;
    bool CopyToClipboard = false;
};

// The program's outputs for a card; tests put recorders in their place.
class TCardOutputs {
public:
    virtual ~TCardOutputs() = default;
    virtual void Beep() = 0;
    // Types Text into the focused window of another application.
    virtual void TypeText(const std::string& Text) = 0;
    virtual void SetClipboardText(const QString& Text) = 0;
};

// The outputs of the program through its services: their beep and clipboard,
// and SendKeys on their keyboard (opened at the first card), with its reports
// in message boxes captioned "SendKeys" and the application's pending
// messages handled after every key.
class TServiceCardOutputs final : public TCardOutputs {
public:
    explicit TServiceCardOutputs(TAppServices& Services) : FServices(Services) {}
    void Beep() override;
    void TypeText(const std::string& Text) override;
    void SetClipboardText(const QString& Text) override;

private:
    TAppServices& FServices;
    std::unique_ptr<platform::KeySink> FSink;
};

// Runs Output and drops a failure it raises, so that what follows still runs.
template <typename TOutput>
void Attempt(const TOutput& Output) {
    try {
        Output();
    } catch (const std::exception&) {
    }
}

// Sounds, types and copies a card as Options say. Each output is tried on its
// own: one that fails does not keep the others from happening.
void DeliverCard(const TCardCode& Code, const QString& Line, const TCardOutputOptions& Options, TCardOutputs& Outputs);

}  // namespace app
