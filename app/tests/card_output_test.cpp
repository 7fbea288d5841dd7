// Renderings, keyboard text, CSV lines, the append file, Save as and the
// outputs of a card.

#include "app/card_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/localization.h"
#include "app/send_keys.h"
#include "platform/testing/file_size_limit.h"
#include "platform/testing/full_disk.h"

namespace {
// Run once, just before the next write of this process, as if by another
// process writing at that very moment.
std::function<void()> BeforeNextWrite;
}  // namespace

// Every write of this test program goes through here.
extern "C" ssize_t write(int Descriptor, const void* Bytes, size_t Count) {
    if (BeforeNextWrite) {
        std::exchange(BeforeNextWrite, nullptr)();
    }
    return ::syscall(SYS_write, Descriptor, Bytes, Count);
}

namespace app {
namespace {

QByteArray ReadAll(const QString& FileName) {
    QFile file(FileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& FileName, const QByteArray& Bytes) {
    QFile file(FileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Bytes);
}

TEST(CardCode, RendersAReaderCodeOrCountsItAsNoCard) {
    struct TCase {
        std::string Raw;
        bool Converts;
        TCardCode Code;
    };
    const std::vector<TCase> cases = {
        {"0123456789", true, {"0004886718345", "0004548489", "069,26505", "0123456789"}},
        {"R0000000000ABCDEF", true, {"0011259375", "0011259375", "171,52719", "00ABCDEF"}},
        {"", false, {}},
        {"XYZ", false, {}},
        {"r0123456789", false, {}},
    };
    for (const TCase& c : cases) {
        TCardCode code{"stale", "stale", "stale", "stale"};
        EXPECT_EQ(RenderCardCode(*KevReaderService(), QString::fromStdString(c.Raw), code), c.Converts) << c.Raw;
        EXPECT_EQ(code, c.Code) << c.Raw;
    }
}

TEST(CardCode, KeyboardTextIsTheChosenRenderingAndEndOfLine) {
    const TCardCode code{"0004886718345", "0004548489", "069,26505", "0123456789"};
    struct TCase {
        int Format;
        int EndOfLine;
        std::string Text;
    };
    const std::vector<TCase> cases = {
        {cf40Bit, eolNone, "0004886718345"},
        {cf24Bit, eolTab, "0004548489\t"},
        {cf8Plus16Bit, eolCR, "069,26505\n"},
        {cf40BitHex, eolLF, "0123456789\r"},
        {cf40BitHex, eolCR, "0123456789\n"},
        {cf40Bit, 7, "0004886718345"},
        {-1, eolTab, ""},
        {4, eolCR, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CardKeyboardText(code, c.Format, c.EndOfLine), c.Text) << c.Format << "/" << c.EndOfLine;
    }
    EXPECT_EQ(CardKeyboardText(TCardCode{}, cf40Bit, eolCR), "") << "an empty rendering types no lone end of line";
}

class CsvFiles : public ::testing::Test {
protected:
    QString Path(const QString& Name) const { return FDir.filePath(Name); }
    QTemporaryDir FDir;
};

TEST_F(CsvFiles, AppendFileCreatesOrAppendsLinesEndedByCrLf) {
    TAppendFile file;
    file.Open(Path("Codes.csv"), FDir.path());
    file.WriteLine("a;1");
    EXPECT_EQ(ReadAll(Path("Codes.csv")), "a;1\r\n") << "each line reaches the file at once";
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    file.Open(Path("Codes.csv"), FDir.path());
    file.WriteLine("b;2");
    file.Close();
    file.Close();
    EXPECT_EQ(ReadAll(Path("Codes.csv")), "a;1\r\nb;2\r\n");
}

TEST_F(CsvFiles, AppendFileThatEndsInsideALineGetsTheNextLineOnALineOfItsOwn) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"a;1\r\nb;", "a;1\r\nb;\r\n"},
        {"a;1\r", "a;1\r\n"},
        {"a;1\n", "a;1\n"},
    };
    for (const auto& [old, kept] : cases) {
        WriteAll(Path("Codes.csv"), old);
        TAppendFile file;
        file.Open(Path("Codes.csv"), FDir.path());
        file.WriteLine("c;3");
        file.WriteLine("d;4");
        EXPECT_EQ(ReadAll(Path("Codes.csv")), kept + "c;3\r\nd;4\r\n");
    }
}

// On a full disk Save as keeps the old file, and the append file keeps whole
// lines only; both errors give the system's reason.
TEST(CsvFilesOnAFullDisk, NoFileIsEmptiedOrTorn) {
    const platform::testing::FullDisk disk;
    if (!disk.Mounted()) {
        GTEST_SKIP() << disk.Reason();
    }
    const QString saved = QString::fromStdString(disk.Path("saved.csv"));
    const QString appended = QString::fromStdString(disk.Path("Codes.csv"));
    WriteAll(saved, "the old list\r\n");
    // 20 bytes are left in the append file's last page: the next line fits in part only.
    const QByteArray whole = QByteArray(4096 - 20 - 2, '1') + "\r\n";
    WriteAll(appended, whole);
    disk.Fill();
    const QString line = "09.12.26 01:02:03;0004886718345;0004548489;069,26505;0123456789";
    const auto errorOf = [](const std::function<void()>& Write) {
        try {
            Write();
        } catch (const ECsvFileError& error) {
            return error.Message();
        }
        return QString("no error");
    };

    EXPECT_EQ(errorOf([&] { SaveCsvFile(saved, {line}); }), "Cannot write " + saved + ": No space left on device");
    EXPECT_EQ(ReadAll(saved), "the old list\r\n");
    TAppendFile file;
    file.Open(appended, QString());
    EXPECT_EQ(errorOf([&] { file.WriteLine(line); }), "Cannot write " + appended + ": No space left on device");
    EXPECT_EQ(ReadAll(appended), whole);
    EXPECT_EQ(disk.Files(), (std::vector<std::string>{"Codes.csv", "filler", "saved.csv"}));

    disk.Free();
    file.WriteLine(line);
    EXPECT_EQ(ReadAll(appended), whole + line.toLatin1() + "\r\n");
}

// Another copy of the tool appends its line just before this one writes,
// and the disk then takes this one's line in part only: the cut takes back
// the part, never the other line.
TEST_F(CsvFiles, AFailedLineIsCutBackWithoutAnotherWritersLine) {
    WriteAll(Path("Codes.csv"), "a;1\r\n");
    TAppendFile file;
    file.Open(Path("Codes.csv"), FDir.path());
    const platform::testing::FileSizeLimit full(5 + 5 + 3);
    BeforeNextWrite = [this] {
        QFile other(Path("Codes.csv"));
        ASSERT_TRUE(other.open(QIODevice::Append));
        other.write("b;2\r\n");
    };
    EXPECT_THROW(file.WriteLine("c;3"), ECsvFileError);
    EXPECT_EQ(ReadAll(Path("Codes.csv")), "a;1\r\nb;2\r\n");
}

TEST_F(CsvFiles, AppendFileNameRelativeToTheProgramFolderNotTheCurrentOne) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("sub"));
    TAppendFile file;
    file.Open("sub/../Codes.csv", FDir.path());
    EXPECT_EQ(file.FileName(), Path("Codes.csv"));
    file.WriteLine("x");
    file.Close();
    EXPECT_EQ(ReadAll(Path("Codes.csv")), "x\r\n");
}

TEST_F(CsvFiles, AppendFileErrorsAreRaisedWithTheirReason) {
    ASSERT_EQ(::mkfifo(Path("fifo.csv").toLocal8Bit().constData(), 0600), 0);
    struct TCase {
        QString Name;
        QString Reason;
    };
    const std::vector<TCase> cases = {
        {"", "No file name is set for the card codes file."},
        {"   ", "No file name is set for the card codes file."},
        {"missing-folder/Codes.csv", "No such file or directory"},
        {".", "it is not a regular file"},
        {"fifo.csv", "it is not a regular file"},
        {"/dev/full", "it is not a regular file"},
        {QStringLiteral("Codes") + QChar(0) + QStringLiteral("x.csv"), "control character"},
        {"Codes\r.csv", "control character"},
        {"Codes.csv\x7F", "control character"},
    };
    for (const TCase& c : cases) {
        TAppendFile file;
        try {
            file.Open(c.Name, FDir.path());
            ADD_FAILURE() << c.Name.toStdString() << " was opened";
        } catch (const ECsvFileError& error) {
            EXPECT_TRUE(error.Message().contains(c.Reason)) << error.Message().toStdString();
            EXPECT_FALSE(file.IsOpen());
        }
    }
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList()) << "a refused name created a file";
    TAppendFile closed;
    EXPECT_THROW(closed.WriteLine("a"), ECsvFileError);
}

TEST_F(CsvFiles, ErrorTextsComeFromTheLanguageFile) {
    WriteAll(Path("zintareko.ini"),
             "[Misc]\nCannotOpen=Fehler beim \xC3\x96"
             "ffnen von\nNoCardFileName=Kein Dateiname.\n");
    TLocalization::LoadLanguageFile(Path("zintareko.ini"));
    const auto errorOf = [this](const QString& Name) {
        try {
            TAppendFile().Open(Name, FDir.path());
        } catch (const ECsvFileError& error) {
            return error.Message();
        }
        return QString("no error");
    };
    EXPECT_EQ(errorOf(""), "Kein Dateiname.");
    EXPECT_EQ(errorOf("missing/Codes.csv"), QString::fromUtf8("Fehler beim \xC3\x96"
                                                              "ffnen von ") +
                                                Path("missing/Codes.csv") + ": No such file or directory");
    TLocalization::LoadLanguageFile(Path("none.ini"));
}

TEST_F(CsvFiles, SaveAsWritesEveryLineInOrder) {
    WriteAll(Path("old.csv"), "old content that is longer than the new one\r\n");
    SaveCsvFile(Path("old.csv"), {"1;a", "2;b", "3;c"});
    EXPECT_EQ(ReadAll(Path("old.csv")), "1;a\r\n2;b\r\n3;c\r\n");
    SaveCsvFile(Path("empty.csv"), {});
    EXPECT_EQ(ReadAll(Path("empty.csv")), "");
}

TEST_F(CsvFiles, SaveAsThatFailsHalfwayKeepsTheOldFile) {
    WriteAll(Path("kept.csv"), "the old list\r\n");
    const QStringList lines(20000, QStringLiteral("2026-03-04 05:06:07;0004886718345;0004548489;069,26505;0123456789"));
    {
        const platform::testing::FileSizeLimit limit(4096);
        EXPECT_THROW(SaveCsvFile(Path("kept.csv"), lines), ECsvFileError);
    }
    EXPECT_EQ(ReadAll(Path("kept.csv")), "the old list\r\n");
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{"kept.csv"}) << "no temporary file is left";

    EXPECT_THROW(SaveCsvFile(Path("no-such-folder/x.csv"), {"1"}), ECsvFileError);
    EXPECT_THROW(SaveCsvFile(FDir.path(), {"1"}), ECsvFileError);
}

// Records the outputs; the one named in Failing raises instead.
class TRecordingOutputs final : public TCardOutputs {
public:
    void Beep() override {
        Fail("beep");
        ++Beeps;
    }
    void TypeText(const std::string& Text) override {
        Fail("keys");
        Typed.push_back(Text);
    }
    void SetClipboardText(const QString& Text) override {
        Fail("clipboard");
        Clipboard.push_back(Text);
    }

    std::string Failing;
    int Beeps = 0;
    std::vector<std::string> Typed;
    QStringList Clipboard;

private:
    void Fail(const std::string& Output) const {
        if (Output == Failing) {
            throw EConvertError("'X' is not a valid integer value");
        }
    }
};

TEST(CardDelivery, EachOutputHappensOnItsOwnAsTheOptionsSay) {
    const TCardCode code{"0004886718345", "0004548489", "069,26505", "0123456789"};
    const TCardOutputOptions all{true, true, cf24Bit, eolTab, true};
    struct TCase {
        TCardOutputOptions Options;
        std::string Failing;
        int Beeps;
        std::vector<std::string> Typed;
        QStringList Clipboard;
    };
    const std::vector<TCase> cases = {
        {all, "", 1, {"0004548489\t"}, {"line"}},
        {{}, "", 0, {}, {}},
        {{false, true, cf40BitHex, eolCR, false}, "", 0, {"0123456789\n"}, {}},
        {{true, false, cf40Bit, eolNone, true}, "", 1, {}, {"line"}},
        {{true, true, -1, eolTab, true}, "", 1, {}, {"line"}},
        {all, "beep", 0, {"0004548489\t"}, {"line"}},
        {all, "keys", 1, {}, {"line"}},
        {all, "clipboard", 1, {"0004548489\t"}, {}},
    };
    for (const TCase& c : cases) {
        TRecordingOutputs outputs;
        outputs.Failing = c.Failing;
        DeliverCard(code, "line", c.Options, outputs);
        EXPECT_EQ(outputs.Beeps, c.Beeps) << c.Failing;
        EXPECT_EQ(outputs.Typed, c.Typed) << c.Failing;
        EXPECT_EQ(outputs.Clipboard, c.Clipboard) << c.Failing;
    }
}

}  // namespace
}  // namespace app
