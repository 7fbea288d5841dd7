#include "kit/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <functional>
#include <optional>
#include <utility>

#include "kit/resource_strings.h"
#include "kit/str_utils.h"
#include "kit/system_files.h"

namespace kit {
namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

// Larger files are refused: a settings or language file is a few kilobytes,
// and a file without end (a link to a device) must not be read for ever.
constexpr qint64 MaxFileSize = qint64{16} * 1024 * 1024;
const char* const TooLarge = "it is larger than 16 MiB";
const char* const WouldGrow = "it would grow larger than 16 MiB";

const char* const ReadLead = "Unable to read %s";
const char* const WriteLead = "Unable to write to %s";

// The error of one operation on a file: its lead text with the file name in
// place of %s, and the reason when there is one to tell, both translated.
struct TFailure {
    const char* Lead;
    const QString& FileName;

    EIniFileException operator()(const QString& Reason) const {
        const QString lead = ResourceString(Lead).replace("%s", FileName);
        return EIniFileException(Reason.isEmpty() ? lead : lead + ": " + Reason);
    }
    EIniFileException operator()(const char* Reason) const { return (*this)(ResourceString(Reason)); }
    // The failure with the text for an errno value or platform::NotRegularFile.
    EIniFileException operator()(int Error) const { return (*this)(SystemErrorText(Error)); }
};

// Raises the failure with its reason when the file cannot be an INI file:
// only regular files are read (a FIFO blocks, a device may never end).
void CheckUsable(const struct stat& Info, const TFailure& Fail) {
    if (!S_ISREG(Info.st_mode)) {
        throw Fail(platform::NotRegularFile);
    }
    if (Info.st_size > MaxFileSize) {
        throw Fail(TooLarge);
    }
}

// An open file descriptor, closed on every way out (which also drops a lock
// held through it).
class TFileHandle {
public:
    explicit TFileHandle(int Descriptor) : FDescriptor(Descriptor) {}
    TFileHandle(TFileHandle&& Other) noexcept : FDescriptor(std::exchange(Other.FDescriptor, -1)) {}
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    TFileHandle& operator=(TFileHandle&&) = delete;
    ~TFileHandle() {
        if (FDescriptor >= 0) {
            ::close(FDescriptor);
        }
    }

    int Descriptor() const { return FDescriptor; }
    bool IsOpen() const { return FDescriptor >= 0; }

private:
    int FDescriptor;
};

// The whole content of the open file.
QByteArray ReadContent(const TFileHandle& File, const TFailure& Fail) {
    struct stat info {};
    if (::fstat(File.Descriptor(), &info) != 0) {
        throw Fail(errno);
    }
    CheckUsable(info, Fail);
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(File.Descriptor(), chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throw Fail(errno);
        }
        if (count == 0) {
            return bytes;
        }
        bytes.append(chunk, count);
        if (bytes.size() > MaxFileSize) {
            throw Fail(TooLarge);
        }
    }
}

constexpr int OpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The file's bytes for a read; a missing file or one that cannot be opened
// reads as empty.
QByteArray ReadFile(const QString& FileName) {
    const QByteArray path = QFile::encodeName(FileName);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        return {};
    }
    // Checked before opening too: opening a FIFO or a device has effects of its own.
    const TFailure fail{ReadLead, FileName};
    CheckUsable(info, fail);
    const TFileHandle file(::open(path.constData(), OpenFlags));
    return file.IsOpen() ? ReadContent(file, fail) : QByteArray();
}

bool SameFile(const struct stat& A, const struct stat& B) { return A.st_dev == B.st_dev && A.st_ino == B.st_ino; }

// The file opened with its exclusive lock held, which every writer takes from
// reading the file to replacing it, in this process or another. A write
// replaces the file by a new one, so a writer that got the lock on a file that
// has been replaced meanwhile tries again on the new one. Creates a missing
// file when Create is set, else gives a handle that is not open.
TFileHandle LockFile(const QString& FileName, bool Create) {
    const QByteArray path = QFile::encodeName(FileName);
    const TFailure fail{WriteLead, FileName};
    for (;;) {
        struct stat named {};
        if (::stat(path.constData(), &named) == 0) {
            CheckUsable(named, fail);
        } else if (!Create && errno == ENOENT) {
            return TFileHandle(-1);
        }
        TFileHandle file(::open(path.constData(), OpenFlags | O_CREAT, 0666));
        if (!file.IsOpen()) {
            throw fail(errno);
        }
        int locked = 0;
        do {
            locked = ::flock(file.Descriptor(), LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            throw fail(errno);
        }
        struct stat held {};
        if (::fstat(file.Descriptor(), &held) == 0 && ::stat(path.constData(), &named) == 0 && SameFile(held, named)) {
            return file;
        }
    }
}

// Windows-1252 bytes as text. The five bytes that code page leaves unassigned
// stand for the control characters of the same number, as on Windows.
QString FromWindows1252(const QByteArray& Bytes) {
    static constexpr char16_t From80To9F[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(Bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < Bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(Bytes[i]);
        text[i] = QChar(byte >= 0x80 && byte < 0xA0 ? From80To9F[byte - 0x80] : char16_t{byte});
    }
    return text;
}

// UTF-8 text, or Windows-1252 when the bytes are no valid UTF-8.
QString DecodeIniText(const QByteArray& Bytes) {
    std::optional<QString> text = DecodeUtf8(Bytes);
    return text ? *std::move(text) : FromWindows1252(Bytes);
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
    explicit TIniDocument(QByteArray Bytes) {
        if (Bytes.startsWith(Utf8Bom)) {
            FBom = true;
            Bytes.remove(0, Utf8Bom.size());
        }
        const QString text = DecodeIniText(Bytes);
        qsizetype start = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != '\r' && text[i] != '\n') {
                continue;
            }
            const bool crLf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
            if (FLines.isEmpty()) {
                FEol = crLf ? QString("\r\n") : QString(text[i]);
            }
            FLines << text.mid(start, i - start);
            i += crLf ? 1 : 0;
            start = i + 1;
        }
        if (start < text.size()) {
            FLines << text.mid(start);
        }
    }

    // [first line, end) of the section's first occurrence after From, the
    // first line being its header; nullopt when there is none.
    std::optional<std::pair<qsizetype, qsizetype>> FindSection(const QString& Section, qsizetype From = 0) const {
        const QString section = Section.trimmed();
        for (qsizetype i = From; i < FLines.size(); ++i) {
            const auto name = SectionOf(FLines[i]);
            if (name && SameName(*name, section)) {
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

    // The file's bytes: always UTF-8, with the BOM and line ends it had.
    QByteArray Encoded() const {
        QString text = FLines.join(FEol);
        if (!FLines.isEmpty()) {
            text += FEol;
        }
        return (FBom ? Utf8Bom : QByteArray()) + text.toUtf8();
    }

    const QStringList& Lines() const { return FLines; }

private:
    QStringList FLines;
    QString FEol = "\n";
    bool FBom = false;
};

TIniDocument ReadDocument(const QString& FileName) { return TIniDocument(ReadFile(FileName)); }

// Applies Change to the file under its lock and replaces the file when Change
// reports a change. A missing file is created only when Create is set.
void UpdateFile(const QString& FileName, bool Create, const std::function<bool(TIniDocument&)>& Change) {
    const TFileHandle lock = LockFile(FileName, Create);
    if (!lock.IsOpen()) {
        return;
    }
    const TFailure fail{WriteLead, FileName};
    TIniDocument document(ReadContent(lock, fail));
    if (!Change(document)) {
        return;
    }
    // A file the next read would refuse is not written: every other value stays readable.
    const QByteArray bytes = document.Encoded();
    if (bytes.size() > MaxFileSize) {
        throw fail(WouldGrow);
    }
    if (const int error = ReplaceFile(FileName, bytes); error != 0) {
        throw fail(error);
    }
}

bool HasLineBreak(const QString& Text) { return Text.contains('\n') || Text.contains('\r'); }

void CheckWritable(const QString& FileName, const QString& Section, const QString& Ident, const QString& Value) {
    const QString section = Section.trimmed();
    const QString key = Ident.trimmed();
    QString problem;
    if (section.isEmpty() || section.contains(']') || HasLineBreak(section)) {
        problem = ResourceString("the section name \"%1\" cannot be stored").arg(Section);
    } else if (key.isEmpty() || key.contains('=') || key.startsWith('[') || key.startsWith(';') ||
               key.startsWith('#') || HasLineBreak(key)) {
        // A key that reads as a comment or a section, or ends early, could never be read back.
        problem = ResourceString("the key name \"%1\" cannot be stored").arg(Ident);
    } else if (HasLineBreak(Value)) {
        problem = ResourceString("the value of key \"%1\" in section \"%2\" holds a line break").arg(Ident, Section);
    } else {
        return;
    }
    throw TFailure{WriteLead, FileName}(problem);
}

}  // namespace

TIniFile::TIniFile(QString FileName) : FFileName(std::move(FileName)) {}

QString TIniFile::ReadString(const QString& Section, const QString& Ident, const QString& Default) const {
    const TIniDocument document = ReadDocument(FFileName);
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
    UpdateFile(FFileName, true, [&](TIniDocument& Document) {
        Document.SetValue(Section, Ident, Value);
        return true;
    });
}

void TIniFile::WriteInteger(const QString& Section, const QString& Ident, int Value) {
    WriteString(Section, Ident, QString::number(Value));
}

void TIniFile::WriteBool(const QString& Section, const QString& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniFile::EraseSection(const QString& Section) {
    UpdateFile(FFileName, false, [&](TIniDocument& Document) { return Document.EraseSection(Section); });
}

void TIniFile::DeleteKey(const QString& Section, const QString& Ident) {
    UpdateFile(FFileName, false,
               [&](TIniDocument& Document) { return Document.DeleteLine(Document.FindKey(Section, Ident)); });
}

QStringList TIniFile::ReadSections() const {
    const TIniDocument document = ReadDocument(FFileName);
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
    const TIniDocument document = ReadDocument(FFileName);
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
    return ReadDocument(FFileName).FindSection(Section).has_value();
}

bool TIniFile::ValueExists(const QString& Section, const QString& Ident) const {
    return ReadDocument(FFileName).FindKey(Section, Ident) >= 0;
}

}  // namespace kit
