// Reads every key of an arbitrary INI file, writes one key and reads the file
// again: every other key keeps its value, the written one reads back as
// written (when the value has no blanks or quotes around it that a read would
// strip), and a refused write leaves the file as it was.
//
// Input: section, key and value as length-delimited strings, a byte that
// picks an existing key to overwrite (0: use the given names), then the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kit/ini_file.h"

namespace {

using fuzz::Require;

struct TValue {
    QString Section;
    QString Key;
    QString Value;
};

// A text no value can be: it holds a line break.
const QString Missing = QStringLiteral("\n");

QByteArray FileBytes(const QString& FileName) {
    QFile file(FileName);
    Require(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

std::vector<TValue> EveryValue(const kit::TIniFile& Ini) {
    std::vector<TValue> values;
    for (const QString& section : Ini.ReadSections()) {
        for (const QString& key : Ini.ReadSection(section)) {
            values.push_back({section, key, Ini.ReadString(section, key, Missing)});
        }
    }
    return values;
}

bool SameName(const QString& A, const QString& B) { return A.trimmed().compare(B.trimmed(), Qt::CaseInsensitive) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    QString section = QString::fromUtf8(input.ConsumeRandomLengthString(32));
    QString key = QString::fromUtf8(input.ConsumeRandomLengthString(32));
    const QString value = QString::fromUtf8(input.ConsumeRandomLengthString(64));
    const uint8_t existing = input.ConsumeIntegral<uint8_t>();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const QString fileName = QString::fromStdString(fuzz::WriteScratchFile(bytes));
    kit::TIniFile ini(fileName);
    const std::vector<TValue> before = EveryValue(ini);
    for (const TValue& entry : before) {
        Require(entry.Value != Missing && ini.ValueExists(entry.Section, entry.Key));
    }
    if (existing != 0 && !before.empty()) {
        section = before[existing % before.size()].Section;
        key = before[existing % before.size()].Key;
    }

    const QByteArray original = FileBytes(fileName);
    try {
        ini.WriteString(section, key, value);
    } catch (const kit::EIniFileException&) {
        Require(FileBytes(fileName) == original);
        return 0;
    }

    for (const TValue& entry : before) {
        if (!(SameName(entry.Section, section) && SameName(entry.Key, key))) {
            Require(ini.ReadString(entry.Section, entry.Key, Missing) == entry.Value);
        }
    }
    const bool plain = value == value.trimmed() && !value.startsWith('"') && !value.startsWith('\'');
    Require(!plain || ini.ReadString(section, key, Missing) == value);
    Require(EveryValue(ini).size() >= before.size());
    return 0;
}
