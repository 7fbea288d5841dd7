#include "app/localization.h"

#include <memory>

#include "kit/ini_file.h"

namespace app {
namespace {

// The classic profile service hands out at most this many characters of a value.
constexpr int MaxValueLength = 2047;

std::unique_ptr<kit::TIniFile>& LanguageFile() {
    static std::unique_ptr<kit::TIniFile> file;
    return file;
}

}  // namespace

QString TLocalization::Translate(const QString& Section, const QString& Key, const QString& Default) {
    const auto& file = LanguageFile();
    if (file == nullptr) {
        return Default;
    }
    return file->ReadString(Section, Key, Default).left(MaxValueLength);
}

void TLocalization::LoadLanguageFile(const QString& FileName) {
    auto file = std::make_unique<kit::TIniFile>(FileName);
    // Read once here, so that a file that can be no language file is reported
    // to the caller that chose it rather than to the first window that asks
    // for a text.
    file->ReadSections();
    LanguageFile() = std::move(file);
}

QString ReplacePlaceholder(const QString& Pattern, const QString& Value) {
    const qsizetype at = Pattern.indexOf(QLatin1String("%s"));
    if (at < 0) {
        return Pattern;
    }
    return Pattern.left(at) + Value + Pattern.mid(at + 2);
}

}  // namespace app
