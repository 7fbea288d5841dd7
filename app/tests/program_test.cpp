// The real program, offscreen, in a folder of its own: its kit texts in a
// language whose locale the system lacks, and start-ups that must go through.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace app {
namespace {

constexpr int WaitMs = 20000;

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(ZINTAREKO_PROGRAM, FDir.filePath("zintareko")));
        FEnvironment.insert("QT_QPA_PLATFORM", "offscreen");
        FProgram.setProcessChannelMode(QProcess::MergedChannels);
    }

    void Start(const QStringList& Arguments) {
        FProgram.setProcessEnvironment(FEnvironment);
        FProgram.start(FDir.filePath("zintareko"), Arguments);
        ASSERT_TRUE(FProgram.waitForStarted(WaitMs));
    }

    // "/AutoRun" with the stored option off (the default): the program ends
    // as soon as its start-up is through, with 0 when nothing stopped it.
    void ExpectStartUpGoesThrough(QStringList Arguments) {
        Arguments << "/AutoRun";
        Start(Arguments);
        const bool finished = FProgram.waitForFinished(WaitMs);
        if (!finished) {
            FProgram.kill();
            FProgram.waitForFinished(WaitMs);
        }
        const std::string output = FProgram.readAll().toStdString();
        ASSERT_TRUE(finished) << output;
        EXPECT_EQ(FProgram.exitStatus(), QProcess::NormalExit) << output;
        EXPECT_EQ(FProgram.exitCode(), 0) << output;
    }

    int FArgc = 1;
    char FName[14] = "program_tests";
    char* FArgv[2] = {FName, nullptr};
    QCoreApplication FApplication{FArgc, FArgv};
    QTemporaryDir FDir;
    QProcessEnvironment FEnvironment = QProcessEnvironment::systemEnvironment();
    QProcess FProgram;
};

TEST_F(Program, KitMessagesAreGermanUnderAGermanLangWithoutItsLocale) {
    // With the built catalogs. A folder in place of the settings file cannot
    // be read as one, even by root.
    ASSERT_TRUE(QFile::link(PROGRAM_LOCALE_FOLDER, FDir.filePath("locale")));
    ASSERT_TRUE(QDir(FDir.path()).mkdir("zintareko.cfg"));
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) {
        FEnvironment.remove(variable);
    }
    FEnvironment.insert("LANG", "de_DE.UTF-8");
    Start({});

    // The error ends the start-up: on the error stream, then in a box that
    // nobody closes here.
    const QString expected = "Lesen von " + FDir.filePath("zintareko.cfg") + " nicht möglich: keine reguläre Datei";
    QString output;
    while (!output.contains(expected) && FProgram.waitForReadyRead(WaitMs)) {
        output += QString::fromUtf8(FProgram.readAll());
    }
    FProgram.kill();
    FProgram.waitForFinished(WaitMs);
    EXPECT_TRUE(output.contains(expected)) << output.toStdString();
}

// The toolkit's own options are parameters like any other. A style sheet from
// a pipe that nobody writes would never be read to its end.
TEST_F(Program, TheToolkitsOptionsAreIgnored) {
    const QString pipe = FDir.filePath("style.qss");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ExpectStartUpGoesThrough({"-platform", "bogus", "-display", ":999", "-stylesheet", pipe});
}

// A language file that cannot be read leaves the English texts; it never
// stops the program.
TEST_F(Program, ALanguageFileThatCannotBeReadStopsNothing) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("zintareko.ini"));
    ExpectStartUpGoesThrough({});
}

}  // namespace
}  // namespace app
