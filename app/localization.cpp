#include "app/localization.h"

#include <exception>
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
    // A file that cannot be read, whatever the reason, is as good as none:
    // the texts are the tool's, not the user's data, and the tool must go on.
    try {
        return file->ReadString(Section, Key, Default).left(MaxValueLength);
    } catch (const std::exception&) {
        return Default;
    }
}

QString TLocalization::Misc(const QString& Key, const QString& Default) {
    return Translate(QStringLiteral("Misc"), Key, Default);
}

void TLocalization::LoadLanguageFile(const QString& FileName) {
    LanguageFile() = std::make_unique<kit::TIniFile>(FileName);
}

QString ReplacePlaceholder(const QString& Pattern, const QString& Value) {
    const qsizetype at = Pattern.indexOf(QLatin1String("%s"));
    if (at < 0) {
        return Pattern;
    }
    return Pattern.left(at) + Value + Pattern.mid(at + 2);
}

}  // namespace app
