#include "kit/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>
#include <utility>

#include "kit/resource_strings.h"
#include "kit/str_utils.h"

namespace kit {
namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

QString UnableToWrite(const QString& FileName) {
    return ResourceString("Unable to write to %s").replace("%s", FileName);
}

bool SameName(const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) == 0; }

// The section name of a "[Name]" line.
std::optional<QString> SectionOf(const QString& Line) {
    const QString line = Line.trimmed();
    const qsizetype close = line.indexOf(']');
    if (!line.startsWith('[') || close < 0) {
        return std::nullopt;
    }
    return line.mid(1, close - 1).trimmed();
}

struct TEntry {
    QString Key;
    QString Value;
};

// The key and raw value of a "Key=Value" line; comments and section lines
// have none.
std::optional<TEntry> EntryOf(const QString& Line) {
    const QString line = Line.trimmed();
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0 || line.startsWith(';') || line.startsWith('#') || line.startsWith('[')) {
        return std::nullopt;
    }
    TEntry entry{line.left(equals).trimmed(), line.mid(equals + 1).trimmed()};
    if (entry.Key.isEmpty()) {
        return std::nullopt;
    }
    return entry;
}

QString Unquoted(const QString& Value) {
    if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') && Value.back() == Value.front()) {
        return Value.mid(1, Value.size() - 2);
    }
    return Value;
}

// The file as lines, with what it takes to write it back in its own style.
class TIniDocument {
public:
    explicit TIniDocument(const QString& FileName) : FFileName(FileName) {
        QFile file(FileName);
        if (!file.exists()) {
            return;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            FUnreadable = true;
            return;
        }
        QByteArray bytes = file.readAll();
        if (bytes.startsWith(Utf8Bom)) {
            FBom = true;
            bytes.remove(0, Utf8Bom.size());
        }
        const QString text = DecodeText(bytes);
        FLatin1 = text.toUtf8() != bytes;
        const qsizetype firstBreak = text.indexOf('\n');
        FEol = firstBreak > 0 && text[firstBreak - 1] == '\r' ? "\r\n" : "\n";
        FLines = text.split('\n');
        if (FLines.back().isEmpty()) {
            FLines.removeLast();
        }
        for (QString& line : FLines) {
            if (line.endsWith('\r')) {
                line.chop(1);
            }
        }
    }

    // [first line, end) of the section's first occurrence after From, the
    // first line being its header; nullopt when there is none.
    std::optional<std::pair<qsizetype, qsizetype>> FindSection(const QString& Section, qsizetype From = 0) const {
        for (qsizetype i = From; i < FLines.size(); ++i) {
            const auto name = SectionOf(FLines[i]);
            if (name && SameName(*name, Section)) {
                qsizetype end = i + 1;
                while (end < FLines.size() && !SectionOf(FLines[end])) {
                    ++end;
                }
                return std::make_pair(i, end);
            }
        }
        return std::nullopt;
    }

    // The line index of the key in the section's first occurrence, or -1.
    qsizetype FindKey(const QString& Section, const QString& Ident) const {
        const auto range = FindSection(Section);
        if (!range) {
            return -1;
        }
        for (qsizetype i = range->first + 1; i < range->second; ++i) {
            const auto entry = EntryOf(FLines[i]);
            if (entry && SameName(entry->Key, Ident.trimmed())) {
                return i;
            }
        }
        return -1;
    }

    void SetValue(const QString& Section, const QString& Ident, const QString& Value) {
        const qsizetype at = FindKey(Section, Ident);
        if (at >= 0) {
            FLines[at] = EntryOf(FLines[at])->Key + "=" + Value;
            return;
        }
        const QString line = Ident.trimmed() + "=" + Value;
        const auto range = FindSection(Section);
        if (!range) {
            FLines << "[" + Section.trimmed() + "]" << line;
            return;
        }
        qsizetype after = range->first;
        for (qsizetype i = range->first + 1; i < range->second; ++i) {
            if (EntryOf(FLines[i])) {
                after = i;
            }
        }
        FLines.insert(after + 1, line);
    }

    bool EraseSection(const QString& Section) {
        bool erased = false;
        for (auto range = FindSection(Section); range; range = FindSection(Section, range->first)) {
            FLines.remove(range->first, range->second - range->first);
            erased = true;
        }
        return erased;
    }

    bool DeleteLine(qsizetype At) {
        if (At < 0) {
            return false;
        }
        FLines.removeAt(At);
        return true;
    }

    void Save() const {
        if (FUnreadable) {
            throw WriteError();
        }
        QString text = FLines.join(FEol);
        if (!FLines.isEmpty()) {
            text += FEol;
        }
        QByteArray bytes = FBom ? Utf8Bom : QByteArray();
        const QByteArray latin1 = text.toLatin1();
        bytes += FLatin1 && QString::fromLatin1(latin1) == text ? latin1 : text.toUtf8();
        QSaveFile file(FFileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            throw WriteError();
        }
    }

    EIniFileException WriteError() const { return EIniFileException(UnableToWrite(FFileName)); }

    const QStringList& Lines() const { return FLines; }

private:
    QString FFileName;
    QStringList FLines;
    QString FEol = "\n";
    bool FBom = false;
    bool FLatin1 = false;
    bool FUnreadable = false;
};

bool HasLineBreak(const QString& Text) { return Text.contains('\n') || Text.contains('\r'); }

void CheckWritable(const QString& FileName, const QString& Section, const QString& Ident, const QString& Value) {
    const QString section = Section.trimmed();
    const QString key = Ident.trimmed();
    QString problem;
    if (section.isEmpty() || section.contains(']') || HasLineBreak(section)) {
        problem = QString("the section name \"%1\" cannot be stored").arg(Section);
    } else if (key.isEmpty() || key.contains('=') || key.startsWith('[') || key.startsWith(';') || HasLineBreak(key)) {
        problem = QString("the key name \"%1\" cannot be stored").arg(Ident);
    } else if (HasLineBreak(Value)) {
        problem = QString("the value of key \"%1\" in section \"%2\" holds a line break").arg(Ident, Section);
    } else {
        return;
    }
    throw EIniFileException(UnableToWrite(FileName) + ": " + problem);
}

}  // namespace

TIniFile::TIniFile(QString FileName) : FFileName(std::move(FileName)) {}

QString TIniFile::ReadString(const QString& Section, const QString& Ident, const QString& Default) const {
    const TIniDocument document(FFileName);
    const qsizetype at = document.FindKey(Section, Ident);
    return at < 0 ? Default : Unquoted(EntryOf(document.Lines()[at])->Value);
}

int TIniFile::ReadInteger(const QString& Section, const QString& Ident, int Default) const {
    bool ok = false;
    const int value = ReadString(Section, Ident, QString()).toInt(&ok);
    return ok ? value : Default;
}

bool TIniFile::ReadBool(const QString& Section, const QString& Ident, bool Default) const {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value) {
    CheckWritable(FFileName, Section, Ident, Value);
    TIniDocument document(FFileName);
    document.SetValue(Section, Ident, Value);
    document.Save();
}

void TIniFile::WriteInteger(const QString& Section, const QString& Ident, int Value) {
    WriteString(Section, Ident, QString::number(Value));
}

void TIniFile::WriteBool(const QString& Section, const QString& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniFile::EraseSection(const QString& Section) {
    TIniDocument document(FFileName);
    if (document.EraseSection(Section)) {
        document.Save();
    }
}

void TIniFile::DeleteKey(const QString& Section, const QString& Ident) {
    TIniDocument document(FFileName);
    if (document.DeleteLine(document.FindKey(Section, Ident))) {
        document.Save();
    }
}

QStringList TIniFile::ReadSections() const {
    const TIniDocument document(FFileName);
    QStringList sections;
    for (const QString& line : document.Lines()) {
        const auto name = SectionOf(line);
        if (name && !sections.contains(*name, Qt::CaseInsensitive)) {
            sections << *name;
        }
    }
    return sections;
}

QStringList TIniFile::ReadSection(const QString& Section) const {
    const TIniDocument document(FFileName);
    QStringList keys;
    if (const auto range = document.FindSection(Section)) {
        for (qsizetype i = range->first + 1; i < range->second; ++i) {
            const auto entry = EntryOf(document.Lines()[i]);
            if (entry && !keys.contains(entry->Key, Qt::CaseInsensitive)) {
                keys << entry->Key;
            }
        }
    }
    return keys;
}

bool TIniFile::SectionExists(const QString& Section) const {
    return TIniDocument(FFileName).FindSection(Section).has_value();
}

bool TIniFile::ValueExists(const QString& Section, const QString& Ident) const {
    return TIniDocument(FFileName).FindKey(Section, Ident) >= 0;
}

}  // namespace kit
