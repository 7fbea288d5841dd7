#pragma once

#include <QString>
#include <QStringList>

#include "kit/exception.h"

namespace kit {

// Raised when an INI file cannot be read or written or a value cannot be
// stored.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// An INI file ("[Section]" lines followed by "Key=Value" lines) with the rules
// of classic private-profile files:
// - section and key names match ignoring case; an update keeps the spelling
//   that is in the file; names and values are trimmed of blanks, names alike
//   when they are searched and when they are written;
// - the first occurrence of a section or key wins;
// - one pair of enclosing quotes (" or ') is stripped from a value on read;
// - a present but empty key reads as empty, a missing one as the default;
// - comments (";" or "#"), unknown lines and other sections are kept;
// - a new key goes after the last key of its section, a new section at the end;
// - LF, CR LF and CR line ends are read; a file keeps the line-end style of
//   its first line end, new files get LF;
// - text is UTF-8, or Windows-1252 when the file is no valid UTF-8 (a BOM is
//   skipped and kept); a written file is always UTF-8, so a write leaves
//   every value it does not change as it read before;
// - unlike with the private-profile functions, values are read whole, with
//   no cut at 2,047 characters.
//
// Every call works on the file itself: reads read it, each write re-reads it,
// changes it and replaces it through a temporary file and a rename, holding
// an advisory lock (flock) on the file all the while. So two objects on the
// same file, in one process or in several, never lose each other's changes,
// and an interrupted write never leaves half a file: the new file replaces
// the old one only once all of it is on the disk. A failed write (a full
// disk, say) raises EIniFileException "Unable to write to <file>: <reason>"
// and leaves the old file as it was. A missing file, or one that cannot be
// opened, reads as empty. Only regular files of up to 16 MiB are used: any
// other (a directory, a FIFO, a device) or a larger one raises
// EIniFileException "Unable to read <file>: " or "Unable to write to
// <file>: " with the reason, before anything is read from it; a write that
// would make the file larger is refused the same way.
class TIniFile {
public:
    explicit TIniFile(QString FileName);

    const QString& FileName() const { return FFileName; }

    // The value, or Default when the section or key is missing.
    QString ReadString(const QString& Section, const QString& Ident, const QString& Default) const;
    // The value as a decimal integer, or Default when missing or no integer.
    int ReadInteger(const QString& Section, const QString& Ident, int Default) const;
    // ReadInteger(..., Default ? 1 : 0) != 0.
    bool ReadBool(const QString& Section, const QString& Ident, bool Default) const;

    // Writes Value under the key. What could not be read back is refused with
    // EIniFileException naming the file and key, and the file is not touched:
    // a value holding CR or LF, a key that is empty, holds "=" or a line break
    // or starts with "[", ";" or "#", and a section that is empty or holds "]"
    // or a line break.
    void WriteString(const QString& Section, const QString& Ident, const QString& Value);
    void WriteInteger(const QString& Section, const QString& Ident, int Value);
    // Writes "1" or "0".
    void WriteBool(const QString& Section, const QString& Ident, bool Value);

    // Removes every occurrence of the section with all its lines. A missing
    // section or file changes nothing (a missing file is not created).
    void EraseSection(const QString& Section);
    // Removes the key from the section's first occurrence.
    void DeleteKey(const QString& Section, const QString& Ident);

    // The section names in file order (first spelling of each).
    QStringList ReadSections() const;
    // The key names of the section's first occurrence, in file order.
    QStringList ReadSection(const QString& Section) const;
    bool SectionExists(const QString& Section) const;
    bool ValueExists(const QString& Section, const QString& Ident) const;

private:
    QString FFileName;
};

}  // namespace kit
