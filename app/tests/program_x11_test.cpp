// The real program under an X server, against the simulated driver libraries:
// a log-on start ("/AutoRun" with its option on) reads multiple cards from the
// last of two simulated KEV-4 readers and types each code into another X client's focused
// text box, and appends it to the card file. A screenshot of the screen is
// kept in the build tree.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/tests/text_box_session.h"

namespace app {
namespace {

constexpr int WaitMs = 20000;

void WriteText(const QString& FileName, const QByteArray& Text) {
    QFile file(FileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << FileName.toStdString();
    file.write(Text);
}

class ProgramX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "program_x11_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }

    // The program copied into a folder of its own, so its settings and card
    // file are the test's.
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        ASSERT_TRUE(QFile::copy(ZINTAREKO_PROGRAM, FDir.filePath("zintareko")));
        WriteText(FDir.filePath("zintareko.cfg"),
                  "[Options]\nFirstStart=False\nAutoRunCheckBox_Checked=True\nSaveToFileEdit_Text=Codes.csv\n"
                  "PlaySoundCheckBox_Checked=False\n");
        WriteText(FDir.filePath("readers.txt"),
                  "clock real\ndevice H1 4 KEV-4 First Reader\ncard H1 R00000000000000AA\n"
                  "device H2 4 KEV-4 Last Reader\ncard H2 R0000001234567890\n");
    }
    void TearDown() override {
        FProgram.terminate();
        if (!FProgram.waitForFinished(WaitMs)) {
            FProgram.kill();
            FProgram.waitForFinished();
        }
    }

    void StartProgram(const QStringList& Arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_LIBRARY_PATH", SIM_LIBRARY_PATH);
        environment.insert("ZT_KEV3_SIM_SCENARIO", FDir.filePath("readers.txt"));
        environment.insert("ZT_FTDI_SIM_SCENARIO", "");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        // In the sanitizer builds: the D-Bus library that Qt's X11 platform
        // loads keeps a buffer until the process ends.
        WriteText(FDir.filePath("leaks.supp"), "leak:libdbus-1.so\n");
        environment.insert("LSAN_OPTIONS", "suppressions=" + FDir.filePath("leaks.supp"));
        FProgram.setProcessEnvironment(environment);
        FProgram.setProcessChannelMode(QProcess::ForwardedChannels);
        FProgram.start(FDir.filePath("zintareko"), Arguments);
        ASSERT_TRUE(FProgram.waitForStarted(WaitMs));
    }

    QTemporaryDir FDir;
    QProcess FProgram;
};

TEST_F(ProgramX11, ALogOnStartTypesTheLastReadersCardsIntoTheFocusedClient) {
    testing::TTextBoxSession box(true);
    StartProgram({"/AutoRun"});
    QByteArray typed;
    while (typed.size() < 11) {
        typed += box.ReadKey().Text;
    }
    EXPECT_EQ(typed, "78187493520");

    QFile cards(FDir.filePath("Codes.csv"));
    ASSERT_TRUE(cards.open(QIODevice::ReadOnly));
    const QByteArray firstLine = cards.readLine();
    EXPECT_TRUE(firstLine.endsWith(";78187493520;0005666960;086,30864;1234567890\r\n")) << firstLine.toStdString();

    QDir().mkpath(SCREENSHOT_FOLDER);
    const QString screenshot = QDir(SCREENSHOT_FOLDER).filePath("zintareko_x11.png");
    QFile::remove(screenshot);
    EXPECT_EQ(QProcess::execute("import", {"-window", "root", screenshot}), 0);
    EXPECT_TRUE(QFile::exists(screenshot));
}

TEST_F(ProgramX11, ALogOnStartWithTheOptionOffEndsAtOnce) {
    WriteText(FDir.filePath("zintareko.cfg"), "[Options]\nFirstStart=False\nAutoRunCheckBox_Checked=False\n");
    StartProgram({"/AutoRun"});
    ASSERT_TRUE(FProgram.waitForFinished(WaitMs));
    EXPECT_EQ(FProgram.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(FDir.filePath("Codes.csv")));
}

}  // namespace
}  // namespace app
