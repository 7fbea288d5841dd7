#include "kit/resource_strings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>

#include "kit/ini_file.h"
#include "kit/serial_startup.h"
#include "kit/str_utils.h"
#include "kit/system_files.h"

namespace kit {
namespace {

// Each case runs in a process of its own, under LANG=de_DE.UTF-8, on a
// machine that has no German locale installed.
class ResourceStrings : public ::testing::Test {
protected:
    // Compiles the catalog source Po of the domain into <dir>/locale/<Language>.
    QString Compile(const QString& Po, const QString& Domain, const QString& Language) {
        const QString folder = FDir.path() + "/locale/" + Language + "/LC_MESSAGES";
        EXPECT_TRUE(QDir().mkpath(folder));
        QString mo = folder + "/" + Domain + ".mo";
        EXPECT_EQ(QProcess::execute(MSGFMT, {"-o", mo, Po}), 0);
        return mo;
    }

    // Compiles a German catalog of the domain into <dir>/locale/de_DE.
    QString CompileCatalog(const QString& Domain) {
        const QString po = FDir.path() + "/" + Domain + ".po";
        QFile file(po);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "msgid \"\"\n"
            "msgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
            "msgid \"Unable to open com port\"\n"
            "msgstr \"COM-Port l\xC3\xA4sst sich nicht \xC3\xB6"
            "ffnen\"\n\n"
            "msgid \"Unable to write to %s\"\n"
            "msgstr \"Kann nicht nach %s schreiben\"\n");
        file.close();
        return Compile(po, Domain, "de_DE");
    }

    QString LocaleFolder() const { return FDir.path() + "/locale"; }

    QTemporaryDir FDir;
};

const QString German = QString::fromUtf8(
    "COM-Port l\xC3\xA4sst sich nicht \xC3\xB6"
    "ffnen");

TEST_F(ResourceStrings, WithoutCatalogsTheTableHoldsTheEnglishTexts) {
    InitResourceStrings(LocaleFolder());
    InitSerialStartup();
    ASSERT_EQ(SerialErrorTexts().size(), 23);
    for (int i = 0; i < 23; ++i) {
        EXPECT_EQ(SerialErrorTexts()[i], SerialErrorMessages[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(SerialErrorTexts()[22], "Registry error");
    EXPECT_EQ(ResourceDomains(), QStringList({"default", "serialport"}));
    EXPECT_EQ(TerminalFont().Font.family(), "Fixedsys");
    EXPECT_EQ(TerminalFont().Font.pointSize(), 9);
    EXPECT_EQ(TerminalFont().Color, QColor(255, 255, 255));
}

TEST_F(ResourceStrings, GermanCatalogTranslatesTheTableWithoutTheLocaleInstalled) {
    ASSERT_EQ(qEnvironmentVariable("LANG"), "de_DE.UTF-8");
    CompileCatalog("serialport");
    InitResourceStrings(LocaleFolder());
    InitSerialStartup();
    EXPECT_EQ(SerialErrorTexts()[0], German);
    EXPECT_EQ(SerialErrorTexts()[1], "WriteFile function failed");
}

TEST_F(ResourceStrings, KitTextsGoThroughTheDefaultDomain) {
    CompileCatalog("default");
    InitResourceStrings(LocaleFolder());
    EXPECT_EQ(ResourceString("Unable to open com port"), German);
    EXPECT_EQ(ResourceText("Unable to open com port"), "Unable to open com port");
    const QString unreachable = FDir.path() + "/missing/x.cfg";
    try {
        TIniFile(unreachable).WriteString("S", "K", "v");
        FAIL() << "a missing folder was written";
    } catch (const EIniFileException& error) {
        // The reason is the system's, in its language when it has one.
        EXPECT_EQ(error.Message(), "Kann nicht nach " + unreachable + " schreiben: " + SystemErrorText(ENOENT));
    }
}

// The system's reasons come in the user's language with every letter whole,
// although the locale that would name their character set is not installed.
TEST_F(ResourceStrings, SystemReasonsKeepTheirLetters) {
    InitResourceStrings(LocaleFolder());
    EXPECT_EQ(SystemErrorText(ENOSPC), QString::fromUtf8("Auf dem Ger\xC3\xA4t ist kein Speicherplatz mehr verf\xC3\xBC"
                                                         "gbar"));
}

TEST_F(ResourceStrings, DamagedCatalogsChangeNothing) {
    const QString mo = CompileCatalog("serialport");
    QFile file(mo);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    for (const qsizetype size : {whole.size() - 10, whole.size() / 2, qsizetype{30}, qsizetype{3}}) {
        ASSERT_TRUE(file.resize(size));
        InitResourceStrings(LocaleFolder());
        EXPECT_EQ(ResourceString("Unable to open com port"), "Unable to open com port") << size;
    }
    QByteArray wrongOffsets = whole;
    wrongOffsets[16] = '\x7F';
    ASSERT_TRUE(file.resize(0));
    file.write(wrongOffsets);
    file.flush();
    InitResourceStrings(LocaleFolder());
    EXPECT_EQ(ResourceString("Unable to open com port"), "Unable to open com port");
}

TEST_F(ResourceStrings, ShippedGermanCatalogsTranslateEveryKitText) {
    for (const char* domain : {"default", "serialport"}) {
        Compile(QString("%1/de/%2.po").arg(KIT_PO_FOLDER, domain), domain, "de");
    }
    InitResourceStrings(LocaleFolder());
    InitSerialStartup();
    for (std::size_t i = 0; i < SerialErrorMessages.size(); ++i) {
        EXPECT_NE(SerialErrorTexts()[static_cast<int>(i)], SerialErrorMessages[i]) << SerialErrorMessages[i];
    }
    const QString unableToWrite = ResourceString("Unable to write to %s");
    EXPECT_NE(unableToWrite, "Unable to write to %s");
    EXPECT_EQ(unableToWrite.count("%s"), 1);
}

TEST_F(ResourceStrings, ToolkitTextsFollowTheLanguage) {
    InitResourceStrings(LocaleFolder());
    int argc = 1;
    char name[] = "kit_resource_string_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    InstallToolkitTranslations(application);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Ja");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
}

TEST(LanguageFromLocaleName, DropsCodesetAndModifier) {
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE.UTF-8", "de_DE"},
        {"de_DE@euro", "de_DE"},
        {"fr", "fr"},
        {"C", ""},
        {"POSIX", ""},
        {"C.UTF-8", ""},
        {"", ""},
    };
    for (const auto& [name, language] : cases) {
        EXPECT_EQ(LanguageFromLocaleName(name), language) << name;
    }
}

}  // namespace
}  // namespace kit
