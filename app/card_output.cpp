#include "app/card_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStringBuilder>
#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "app/localization.h"
#include "app/send_keys.h"
#include "kit/db/field.h"
#include "kit/system_files.h"
#include "platform/file_replacement.h"

namespace app {

bool RenderCardCode(TReaderService& Readers, const QString& Raw, TCardCode& Code) {
    QString code40;
    Code = {};
    if (!Readers.ConvertCardCode(Raw, Code.Full, code40, Code.Code24, Code.Code8and16) || Code.Full.isEmpty()) {
        Code = {};
        return false;
    }
    Code.Hex = Readers.CardCodeToHex(Code.Full, 0);
    return true;
}

std::string CardKeyboardText(const TCardCode& Code, int CodeFormat, int EndOfLine) {
    QString text;
    switch (CodeFormat) {
        case cf40Bit:
            text = Code.Full;
            break;
        case cf24Bit:
            text = Code.Code24;
            break;
        case cf8Plus16Bit:
            text = Code.Code8and16;
            break;
        case cf40BitHex:
            text = Code.Hex;
            break;
        default:
            break;
    }
    if (text.isEmpty()) {
        return {};
    }
    std::string keys = text.toStdString();
    switch (EndOfLine) {
        case eolTab:
            keys += '\t';
            break;
        case eolCR:
            keys += '\n';
            break;
        case eolLF:
            keys += '\r';
            break;
        default:
            break;
    }
    return keys;
}

QString CsvLine(const QDateTime& Time, const TCardCode& Code) {
    // Built in one piece: Save as makes one line for every row of the list.
    return kit::DateTimeToStr(Time) % u';' % Code.Full % u';' % Code.Code24 % u';' % Code.Code8and16 % u';' % Code.Hex;
}

namespace {

QByteArray FileLine(const QString& Line) { return Line.toLocal8Bit() + "\r\n"; }

// "<what> <file>: <the system's reason>", What being a "Misc" key and its English text.
[[noreturn]] void RaiseFileError(const char* Key, const char* What, const QString& FileName, int Error) {
    throw ECsvFileError(
        QStringLiteral("%1 %2: %3")
            .arg(TLocalization::Misc(Key, What), QDir::toNativeSeparators(FileName), kit::SystemErrorText(Error)));
}

// What the file lacks of a line end after its last byte: CR LF after a
// line that was never ended, LF after a lone CR, nothing after a line end.
QByteArray MissingLineEnd(const QString& FileName) {
    QFile file(FileName);
    char last = '\n';
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0 || !file.seek(file.size() - 1) || !file.getChar(&last)) {
        return {};
    }
    switch (last) {
        case '\n':
            return {};
        case '\r':
            return "\n";
        default:
            return "\r\n";
    }
}

}  // namespace

TAppendFile::~TAppendFile() {
    if (FDescriptor >= 0) {
        ::close(FDescriptor);
    }
}

void TAppendFile::Open(const QString& FileName, const QString& BaseFolder) {
    Close();
    if (FileName.trimmed().isEmpty()) {
        throw ECsvFileError(TLocalization::Misc("NoCardFileName", "No file name is set for the card codes file."));
    }
    // The system would cut a name at a NUL and keep other control characters
    // in it: such a name would write to another file than the one named.
    if (std::any_of(FileName.begin(), FileName.end(),
                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; })) {
        throw ECsvFileError(TLocalization::Misc("CardFileNameControlCharacter",
                                                "The name of the card codes file holds a control character."));
    }
    const QString path = QDir::cleanPath(QDir(BaseFolder).absoluteFilePath(FileName));
    const QByteArray name = QFile::encodeName(path);
    // Only a regular file is used, checked before opening it (opening a FIFO
    // or a device has effects of its own) and again on what got opened, in
    // case the name was given to something else meanwhile. Opened without
    // waiting, which a regular file never does anyway: no FIFO can hold the window.
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        RaiseFileError("CannotOpen", "Cannot open", path, platform::NotRegularFile);
    }
    const int descriptor =
        ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (descriptor < 0) {
        RaiseFileError("CannotOpen", "Cannot open", path, errno);
    }
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        RaiseFileError("CannotOpen", "Cannot open", path, platform::NotRegularFile);
    }
    FDescriptor = descriptor;
    FFileName = path;
    FMissingLineEnd = MissingLineEnd(path);
}

void TAppendFile::WriteLine(const QString& Line) {
    if (FDescriptor < 0) {
        throw ECsvFileError(QStringLiteral("The card codes file is not open."));
    }
    const QByteArray bytes = FMissingLineEnd + FileLine(Line);
    std::size_t written = 0;
    const int error = platform::WriteAll(FDescriptor, std::string_view(bytes.constData(), bytes.size()), &written);
    if (error == 0) {
        FMissingLineEnd.clear();
        return;
    }
    // Only what this write added is cut back off, from the end it left:
    // another writer's line may lie before it. When the cut fails, the next
    // line goes after whatever the file then ends in.
    struct stat after {};
    if (written > 0 && (::fstat(FDescriptor, &after) != 0 || after.st_size < static_cast<off_t>(written) ||
                        ::ftruncate(FDescriptor, after.st_size - static_cast<off_t>(written)) != 0)) {
        FMissingLineEnd = MissingLineEnd(FFileName);
    }
    RaiseFileError("CannotWrite", "Cannot write", FFileName, error);
}

void TAppendFile::Close() {
    if (FDescriptor < 0) {
        return;
    }
    const QString name = std::exchange(FFileName, QString());
    if (::close(std::exchange(FDescriptor, -1)) != 0) {
        RaiseFileError("CannotClose", "Cannot close", name, errno);
    }
}

void SaveCsvFile(const QString& FileName, const QStringList& Lines) {
    platform::FileReplacement file(QFile::encodeName(FileName).toStdString());
    if (!file.Created()) {
        RaiseFileError("CannotCreate", "Cannot create", FileName, file.Error());
    }
    for (const QString& line : Lines) {
        const QByteArray bytes = FileLine(line);
        if (!file.Write(std::string_view(bytes.constData(), bytes.size()))) {
            break;
        }
    }
    if (!file.Commit()) {
        RaiseFileError("CannotWrite", "Cannot write", FileName, file.Error());
    }
}

void TServiceCardOutputs::Beep() { FServices.Beep(); }

void TServiceCardOutputs::TypeText(const std::string& Text) {
    if (!FSink) {
        FSink = FServices.OpenKeySink();
    }
    const TKeyOutput output{
        *FSink,
        [](const std::string& Message) {
            QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(SendKeysCaption), QString::fromStdString(Message),
                            QMessageBox::Ok);
            box.exec();
        },
        [] { QCoreApplication::processEvents(); },
    };
    SendKeys(Text, true, output);
}

void TServiceCardOutputs::SetClipboardText(const QString& Text) { FServices.SetClipboardText(Text); }

void DeliverCard(const TCardCode& Code, const QString& Line, const TCardOutputOptions& Options, TCardOutputs& Outputs) {
    // Each output on its own: a failure of one is dropped and the next still runs.
    if (Options.PlaySound) {
        Attempt([&] { Outputs.Beep(); });
    }
    const std::string keys = CardKeyboardText(Code, Options.CodeFormat, Options.EndOfLine);
    if (Options.CopyToTextBox && !keys.empty()) {
        Attempt([&] { Outputs.TypeText(keys); });
    }
    if (Options.CopyToClipboard) {
        Attempt([&] { Outputs.SetClipboardText(Line); });
    }
}

}  // namespace app
