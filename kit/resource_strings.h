#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace kit {

// Built-in texts of the kit (error messages and the like) are looked up through
// GNU gettext when they are used: in each registered text domain in turn
// ("default" first), the first catalog that translates the text wins.
// Catalogs live in <LocaleFolder>/<language>/LC_MESSAGES/<domain>.mo.

// Binds every registered domain to LocaleFolder (empty: "locale" beside the
// program) and points gettext at the user's language: LANG, or else the
// system locale. It works also when that locale is not installed. A catalog
// that is damaged (a table that runs past the end of the file) is not used.
// The C library's own texts (an error's reason) come in UTF-8 from then on.
// Call once at start-up, before other threads run (it sets LANGUAGE).
void InitResourceStrings(const QString& LocaleFolder = QString());

// Installs in Application the toolkit's own translations (buttons of message
// boxes, file dialogs) for the language that InitResourceStrings chose, from
// Qt's translations folder. Nothing when that language has none there.
void InstallToolkitTranslations(QCoreApplication& Application);

// Appends a text domain to the lookup list (ignored when already there) and
// binds it like the others.
void AddResourceDomain(const QString& Domain);

// The registered text domains in lookup order.
QStringList ResourceDomains();

// Text translated through the registered domains; Text itself when none has
// a translation. Text is UTF-8.
QString ResourceString(const char* Text);

// The language code that gettext is pointed at ("de_DE"), taken from a LANG
// value or, when that is empty, from the system locale's name; "C" and
// "POSIX" give an empty code.
QString LanguageFromLocaleName(const QString& LocaleName);

}  // namespace kit
