#include "app/card_output.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QSaveFile>
#include <QStringBuilder>
#include <algorithm>

#include "app/send_keys.h"
#include "kit/db/field.h"

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

[[noreturn]] void RaiseFileError(const QString& What, const QString& FileName, const QString& Reason) {
    throw ECsvFileError(QStringLiteral("%1 %2: %3").arg(What, QDir::toNativeSeparators(FileName), Reason));
}

}  // namespace

void TAppendFile::Open(const QString& FileName, const QString& BaseFolder) {
    Close();
    if (FileName.trimmed().isEmpty()) {
        throw ECsvFileError(QStringLiteral("No file name is set for the card codes file."));
    }
    // The system would cut a name at a NUL and keep other control characters
    // in it: such a name would write to another file than the one named.
    if (std::any_of(FileName.begin(), FileName.end(),
                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; })) {
        throw ECsvFileError(QStringLiteral("The name of the card codes file holds a control character."));
    }
    const QString path = QDir::cleanPath(QDir(BaseFolder).absoluteFilePath(FileName));
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        RaiseFileError(QStringLiteral("Cannot open"), path, file->errorString());
    }
    FFile = std::move(file);
}

QString TAppendFile::FileName() const { return FFile ? FFile->fileName() : QString(); }

void TAppendFile::WriteLine(const QString& Line) {
    if (!FFile) {
        throw ECsvFileError(QStringLiteral("The card codes file is not open."));
    }
    const QByteArray bytes = FileLine(Line);
    if (FFile->write(bytes) != bytes.size() || !FFile->flush()) {
        RaiseFileError(QStringLiteral("Cannot write"), FFile->fileName(), FFile->errorString());
    }
}

void TAppendFile::Close() {
    if (!FFile) {
        return;
    }
    const std::unique_ptr<QFile> file = std::move(FFile);
    file->close();
    if (file->error() != QFileDevice::NoError) {
        RaiseFileError(QStringLiteral("Cannot close"), file->fileName(), file->errorString());
    }
}

void SaveCsvFile(const QString& FileName, const QStringList& Lines) {
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly)) {
        RaiseFileError(QStringLiteral("Cannot create"), FileName, file.errorString());
    }
    for (const QString& line : Lines) {
        const QByteArray bytes = FileLine(line);
        if (file.write(bytes) != bytes.size()) {
            RaiseFileError(QStringLiteral("Cannot write"), FileName, file.errorString());
        }
    }
    if (!file.commit()) {
        RaiseFileError(QStringLiteral("Cannot write"), FileName, file.errorString());
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
    const auto attempt = [](const auto& Output) {
        try {
            Output();
        } catch (const std::exception&) {
        }
    };
    if (Options.PlaySound) {
        attempt([&] { Outputs.Beep(); });
    }
    const std::string keys = CardKeyboardText(Code, Options.CodeFormat, Options.EndOfLine);
    if (Options.CopyToTextBox && !keys.empty()) {
        attempt([&] { Outputs.TypeText(keys); });
    }
    if (Options.CopyToClipboard) {
        attempt([&] { Outputs.SetClipboardText(Line); });
    }
}

}  // namespace app
