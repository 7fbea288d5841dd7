// The real program, offscreen, started with the toolkit's own options: the
// program ignores every parameter but its one switch.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace app {
namespace {

constexpr int WaitMs = 20000;

TEST(ProgramCommandLine, TheToolkitsOptionsAreIgnored) {
    int argc = 1;
    char name[] = "program_command_line_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    // "/AutoRun" with the stored option off (the default): the program ends
    // as soon as its start-up is through. A style sheet from a pipe that
    // nobody writes would never be read to its end.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(ZINTAREKO_PROGRAM, dir.filePath("zintareko")));
    const QString pipe = dir.filePath("style.qss");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(dir.filePath("zintareko"),
                  {"-platform", "bogus", "-display", ":999", "-stylesheet", pipe, "/AutoRun"});
    const bool finished = program.waitForFinished(WaitMs);
    if (!finished) {
        program.kill();
        program.waitForFinished(WaitMs);
    }
    const std::string output = program.readAll().toStdString();
    ASSERT_TRUE(finished) << output;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(program.exitCode(), 0) << output;
}

}  // namespace
}  // namespace app
