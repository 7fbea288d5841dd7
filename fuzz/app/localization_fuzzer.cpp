// Looks texts up in arbitrary language files and checks what comes back:
// - a key gives its value, the same whatever the default, at most 2047
//   characters long; a missing one gives the default asked for;
// - a plain "[Section]" and "Key=Value" appended to a file without sections
//   give that value (cut at 2047 characters), in any letter case of the names;
// - a placeholder is replaced literally: only the first "%s" of the text
//   becomes the value, whatever "%" sequences text or value hold.
//
// Input: section, key, value and inserted text as length-delimited strings, a
// flag for the appended section, then the rest of the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/localization.h"
#include "fuzz/fuzz_support.h"

namespace {

using fuzz::Require;

constexpr qsizetype MaxValueLength = 2047;

// Text made only of letters and digits, one for each byte of Raw.
QString Plain(const std::string& Raw) {
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString plain;
    for (const char c : Raw) {
        plain += QLatin1Char(Alphabet[static_cast<unsigned char>(c) % (sizeof Alphabet - 1)]);
    }
    return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string rawSection = input.ConsumeRandomLengthString(64);
    const std::string rawKey = input.ConsumeRandomLengthString(64);
    const std::string rawValue = input.ConsumeRandomLengthString(2100);
    const QString inserted = QString::fromUtf8(input.ConsumeRandomLengthString(64));
    const bool appendSection = input.ConsumeBool();
    std::string file = input.ConsumeRemainingBytesAsString();

    const QString section = Plain(rawSection) + QStringLiteral("S");
    const QString key = Plain(rawKey) + QStringLiteral("K");
    const QString value = Plain(rawValue);
    const bool sectionsBefore = file.find('[') != std::string::npos;
    if (appendSection) {
        file += "\n[" + section.toStdString() + "]\n" + key.toStdString() + "=" + value.toStdString() + "\n";
    }
    app::TLocalization::LoadLanguageFile(QString::fromStdString(fuzz::WriteScratchFile(file)));

    // Names as they came, which may be anything.
    const QString anySection = QString::fromUtf8(rawSection);
    const QString anyKey = QString::fromUtf8(rawKey);
    const QString first = app::TLocalization::Translate(anySection, anyKey, QStringLiteral("\x01"));
    const QString second = app::TLocalization::Translate(anySection, anyKey, QStringLiteral("\x02"));
    Require((first == QStringLiteral("\x01") && second == QStringLiteral("\x02")) ||
            (first == second && first.size() <= MaxValueLength));

    if (appendSection && !sectionsBefore) {
        Require(app::TLocalization::Translate(section, key, QString()) == value.left(MaxValueLength));
        Require(app::TLocalization::Translate(section.toUpper(), key.toLower(), QString()) ==
                value.left(MaxValueLength));
    }

    const QString replaced = app::ReplacePlaceholder(first, inserted);
    const qsizetype at = first.indexOf(QStringLiteral("%s"));
    if (at < 0) {
        Require(replaced == first);
    } else {
        Require(replaced.size() == first.size() - 2 + inserted.size());
        Require(replaced.left(at) == first.left(at));
        Require(replaced.mid(at, inserted.size()) == inserted);
        Require(replaced.mid(at + inserted.size()) == first.mid(at + 2));
    }
    return 0;
}
