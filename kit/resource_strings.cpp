#include "kit/resource_strings.h"

#include <libintl.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QReadWriteLock>
#include <QTranslator>
#include <QtEndian>
#include <clocale>
#include <cstdlib>

#include "platform/dynamic_library.h"

namespace kit {
namespace {

struct TDomains {
    QReadWriteLock Lock;
    QStringList Names{"default"};
    QString Folder;
    QString Language;
};

TDomains& Domains() {
    static TDomains domains;
    return domains;
}

// True when the file is a message catalog whose tables and strings all lie
// inside the file; gettext trusts these offsets, so a damaged catalog must
// never reach it.
bool IsSoundCatalog(const QString& FileName) {
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray data = file.readAll();
    const auto size = static_cast<quint64>(data.size());
    if (size < 28) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint32 magic = qFromLittleEndian<quint32>(bytes);
    const bool little = magic == 0x950412deU;
    if (!little && magic != 0xde120495U) {
        return false;
    }
    auto word = [&](quint64 At) {
        return little ? qFromLittleEndian<quint32>(bytes + At) : qFromBigEndian<quint32>(bytes + At);
    };
    const quint64 count = word(8);
    for (const quint64 table : {quint64{word(12)}, quint64{word(16)}}) {
        if (table + count * 8 > size) {
            return false;
        }
        for (quint64 i = 0; i < count; ++i) {
            const quint64 length = word(table + i * 8);
            const quint64 offset = word(table + i * 8 + 4);
            if (offset + length + 1 > size || bytes[offset + length] != 0) {
                return false;
            }
        }
    }
    const quint64 hashSize = word(20);
    return hashSize == 0 || quint64{word(24)} + hashSize * 4 <= size;
}

// Points the domain at the locale folder when its catalog for the language is
// sound, else at a folder that holds none, so the domain translates nothing.
void Bind(const QString& Domain, const TDomains& State) {
    const QString catalog = QString("%1/%2/LC_MESSAGES/%3.mo").arg(State.Folder, State.Language, Domain);
    QString folder = State.Folder;
    const QString shortCatalog =
        QString("%1/%2/LC_MESSAGES/%3.mo").arg(State.Folder, State.Language.section('_', 0, 0), Domain);
    for (const QString& file : {catalog, shortCatalog}) {
        if (QFile::exists(file) && !IsSoundCatalog(file)) {
            folder = State.Folder + "/.unusable-catalog";
        }
    }
    const QByteArray domain = Domain.toUtf8();
    bindtextdomain(domain.constData(), QFile::encodeName(folder).constData());
    bind_textdomain_codeset(domain.constData(), "UTF-8");
}

}  // namespace

QString LanguageFromLocaleName(const QString& LocaleName) {
    QString name = LocaleName.section('.', 0, 0).section('@', 0, 0);
    return name == "C" || name == "POSIX" ? QString() : name;
}

void InitResourceStrings(const QString& LocaleFolder) {
    TDomains& state = Domains();
    QWriteLocker lock(&state.Lock);
    state.Folder =
        LocaleFolder.isEmpty() ? QString::fromStdString(platform::ProgramFolder()) + "/locale" : LocaleFolder;
    const QString lang = qEnvironmentVariable("LANG");
    state.Language = LanguageFromLocaleName(lang.isEmpty() ? QLocale::system().name() : lang);
    if (!state.Language.isEmpty()) {
        // gettext ignores LANGUAGE under the plain C locale, which is what a
        // process gets when LANG names a locale that is not installed.
        setenv("LANGUAGE", state.Language.toUtf8().constData(), 1);
        const char* current = std::setlocale(LC_MESSAGES, "");
        if (current == nullptr || QByteArray(current) == "C" || QByteArray(current) == "POSIX") {
            std::setlocale(LC_MESSAGES, "C.UTF-8");
        }
    }
    for (const QString& domain : state.Names) {
        Bind(domain, state);
    }
    // The system's own texts (an error's reason) in UTF-8, which is how the
    // program reads them, whatever the character set of the locale: under a
    // locale that is not installed, gettext would turn every letter beyond
    // ASCII into "?".
    bind_textdomain_codeset("libc", "UTF-8");
}

void InstallToolkitTranslations(QCoreApplication& Application) {
    QString language;
    {
        TDomains& state = Domains();
        QReadLocker lock(&state.Lock);
        language = state.Language;
    }
    if (language.isEmpty()) {
        return;
    }
    auto* translator = new QTranslator(&Application);
    if (translator->load(QLocale(language), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

void AddResourceDomain(const QString& Domain) {
    TDomains& state = Domains();
    QWriteLocker lock(&state.Lock);
    if (!state.Names.contains(Domain)) {
        state.Names << Domain;
        if (!state.Folder.isEmpty()) {
            Bind(Domain, state);
        }
    }
}

QStringList ResourceDomains() {
    TDomains& state = Domains();
    QReadLocker lock(&state.Lock);
    return state.Names;
}

QString ResourceString(const char* Text) {
    for (const QString& domain : ResourceDomains()) {
        const char* translated = dgettext(domain.toUtf8().constData(), Text);
        if (translated != Text) {
            return QString::fromUtf8(translated);
        }
    }
    return QString::fromUtf8(Text);
}

}  // namespace kit
