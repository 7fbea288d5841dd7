#pragma once

#include <QString>

namespace app {

// The window texts' translation service: one INI language file, looked up by
// window section and text key. Every window asks it for each text with its
// English design text as the default, so a missing file, section or key keeps
// the English text.
class TLocalization {
public:
    TLocalization() = delete;

    // The value of Key in Section of the language file; Default when no file
    // is loaded, or the file, section or key is missing. A key present with an
    // empty value gives empty text. The file is read anew on every call, so a
    // file replaced on disk takes effect at the next lookup. Never raises: a
    // file that cannot be read (no regular file, larger than 16 MiB,
    // unreadable, gone) gives Default.
    static QString Translate(const QString& Section, const QString& Key, const QString& Default);
    // The text of Key in section Misc, the status texts and messages.
    static QString Misc(const QString& Key, const QString& Default);
    // Uses FileName as the language file from now on. Whether it exists is the
    // caller's business: a missing file reads as empty. Never raises.
    static void LoadLanguageFile(const QString& FileName);
};

// Pattern with its first "%s" replaced by Value, literally: translated texts
// are never used as format strings, so any other "%" sequence in them stays
// as it is.
QString ReplacePlaceholder(const QString& Pattern, const QString& Value);

}  // namespace app
