// The real program in a language whose locale the system lacks: the kit's
// own texts come from the German catalogs built beside the program.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace app {
namespace {

constexpr int WaitMs = 20000;

TEST(ProgramLanguage, KitMessagesAreGermanUnderAGermanLangWithoutItsLocale) {
    int argc = 1;
    char name[] = "program_language_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    // The program in a folder of its own with the built catalogs. A folder in
    // place of the settings file cannot be read as one, even by root.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(ZINTAREKO_PROGRAM, dir.filePath("zintareko")));
    ASSERT_TRUE(QFile::link(PROGRAM_LOCALE_FOLDER, dir.filePath("locale")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("zintareko.cfg"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) {
        environment.remove(variable);
    }
    environment.insert("LANG", "de_DE.UTF-8");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(dir.filePath("zintareko"), {});
    ASSERT_TRUE(program.waitForStarted(WaitMs));

    // The error ends the start-up: on the error stream, then in a box that
    // nobody closes here.
    const QString expected = "Lesen von " + dir.filePath("zintareko.cfg") + " nicht möglich: keine reguläre Datei";
    QString output;
    while (!output.contains(expected) && program.waitForReadyRead(WaitMs)) {
        output += QString::fromUtf8(program.readAll());
    }
    program.kill();
    program.waitForFinished(WaitMs);
    EXPECT_TRUE(output.contains(expected)) << output.toStdString();
}

}  // namespace
}  // namespace app
