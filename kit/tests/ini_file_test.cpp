#include "kit/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <functional>
#include <map>

#include "kit/app_utils.h"
#include "kit/tests/temp_folder.h"
#include "platform/testing/full_disk.h"
#include "platform/testing/unprivileged.h"

namespace kit {
namespace {

class IniFile : public ::testing::Test, protected testing::TTempFolder {};

TEST_F(IniFile, ReadsFollowPrivateProfileRules) {
    WriteRaw(
        "top=outside\n"
        "[Options]\n"
        "  Name  =  spaced value  \n"
        "; comment=no\n"
        "Quoted=\"in quotes\"\n"
        "Single='single'\n"
        "Half=\"half\n"
        "Mixed=\"a'\n"
        "Empty=\n"
        "name=second\n"
        "[other]\n"
        "Name=elsewhere\n"
        "[OPTIONS]\n"
        "Late=never\n");
    const TIniFile ini(Path());
    struct TCase {
        const char* Section;
        const char* Key;
        const char* Expected;
    };
    const TCase cases[] = {
        {"options", "NAME", "spaced value"}, {"Options", "Quoted", "in quotes"}, {"Options", "Single", "single"},
        {"Options", "Half", "\"half"},       {"Options", "Mixed", "\"a'"},       {"Options", "Empty", ""},
        {"Options", "Late", "default"},      {"Options", "top", "default"},      {"Options", "; comment", "default"},
        {"Other", "name", "elsewhere"},      {"Missing", "Name", "default"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ini.ReadString(c.Section, c.Key, "default"), c.Expected) << c.Section << "/" << c.Key;
    }
    EXPECT_EQ(ini.ReadSections(), QStringList({"Options", "other"}));
    EXPECT_EQ(ini.ReadSection("options"), QStringList({"Name", "Quoted", "Single", "Half", "Mixed", "Empty"}));
    EXPECT_TRUE(ini.ValueExists("OPTIONS", "empty"));
    EXPECT_FALSE(ini.ValueExists("Options", "nothing"));
    EXPECT_TRUE(ini.SectionExists("other"));
}

TEST_F(IniFile, NumbersAndBooleans) {
    WriteRaw("[S]\nA=42\nB= -7 \nC=x1\nD=0\nE=\n");
    const TIniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("S", "A", 1), 42);
    EXPECT_EQ(ini.ReadInteger("S", "B", 1), -7);
    EXPECT_EQ(ini.ReadInteger("S", "C", 1), 1);
    EXPECT_EQ(ini.ReadInteger("S", "E", 1), 1);
    EXPECT_FALSE(ini.ReadBool("S", "D", true));
    EXPECT_TRUE(ini.ReadBool("S", "A", false));
    EXPECT_TRUE(ini.ReadBool("S", "Missing", true));
}

TEST_F(IniFile, WritesKeepEverythingElseAndTheKeysSpelling) {
    WriteRaw(
        "; head comment\r\n"
        "[Options]\r\n"
        "MyKey=old\r\n"
        "; inside\r\n"
        "Other=1\r\n"
        "\r\n"
        "[Next]\r\n"
        "x=y\r\n");
    TIniFile ini(Path());
    ini.WriteString("OPTIONS", "mykey", "new");
    ini.WriteString("options", "Added", "v");
    ini.WriteString("Fresh", "K", "1");
    EXPECT_EQ(ReadRaw(),
              "; head comment\r\n"
              "[Options]\r\n"
              "MyKey=new\r\n"
              "; inside\r\n"
              "Other=1\r\n"
              "Added=v\r\n"
              "\r\n"
              "[Next]\r\n"
              "x=y\r\n"
              "[Fresh]\r\n"
              "K=1\r\n");
    ini.DeleteKey("options", "OTHER");
    ini.EraseSection("next");
    EXPECT_EQ(ReadRaw(),
              "; head comment\r\n"
              "[Options]\r\n"
              "MyKey=new\r\n"
              "; inside\r\n"
              "Added=v\r\n"
              "\r\n"
              "[Fresh]\r\n"
              "K=1\r\n");
}

TEST_F(IniFile, NewFileIsLfAndEraseRemovesEveryCopy) {
    TIniFile ini(Path());
    ini.EraseSection("A");
    ini.DeleteKey("A", "n");
    EXPECT_FALSE(QFile::exists(Path()));
    ini.WriteInteger("A", "n", 5);
    ini.WriteBool("A", "b", true);
    EXPECT_EQ(ReadRaw(), "[A]\nn=5\nb=1\n");
    WriteRaw("[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n");
    ini.EraseSection("a");
    EXPECT_EQ(ReadRaw(), "[B]\ny=2\n");
    ini.EraseSection("missing");
    ini.DeleteKey("B", "missing");
    EXPECT_EQ(ReadRaw(), "[B]\ny=2\n");
}

TEST_F(IniFile, EncodingsAndLineEndsAreReadAndTheFileIsWrittenAsUtf8) {
    WriteRaw("\xEF\xBB\xBF[S]\nName=gr\xC3\xBC\xC3\x9F\n");
    TIniFile utf8(Path());
    EXPECT_EQ(utf8.ReadString("S", "Name", ""), QString::fromUtf8("gr\xC3\xBC\xC3\x9F"));
    utf8.WriteString("S", "More", QString::fromUtf8("\xC3\xA4"));
    EXPECT_EQ(ReadRaw(), "\xEF\xBB\xBF[S]\nName=gr\xC3\xBC\xC3\x9F\nMore=\xC3\xA4\n");

    WriteRaw("[S]\rName=\x84\x80\x93\r", "cp1252.ini");
    TIniFile cp1252(Path("cp1252.ini"));
    EXPECT_EQ(cp1252.ReadString("S", "Name", ""), QString::fromUtf8("\xE2\x80\x9E\xE2\x82\xAC\xE2\x80\x9C"));
    cp1252.WriteString("S", "More", QString::fromUtf8("\xC3\xA4"));
    EXPECT_EQ(ReadRaw("cp1252.ini"), "[S]\rName=\xE2\x80\x9E\xE2\x82\xAC\xE2\x80\x9C\rMore=\xC3\xA4\r");
}

TEST_F(IniFile, AWindows1252FileEndingInALetterWithoutLineEndIsReadWhole) {
    WriteRaw("[S]\nName=caf\xE9");
    EXPECT_EQ(TIniFile(Path()).ReadString("S", "Name", ""), QString::fromUtf8("caf\xC3\xA9"));
}

// Writing any one key, or a new one, leaves every other value of the file
// reading exactly as before, whatever the file's encoding and line ends.
TEST_F(IniFile, AWriteLeavesEveryOtherValueAsItWasRead) {
    struct TCase {
        const char* Name;
        QByteArray Bytes;
    };
    const TCase cases[] = {
        {"UTF-8", "[S]\na=gr\xC3\xBC\xC3\x9F\nb=1\n"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF[S]\r\na=\xE2\x82\xAC\r\n[T]\r\nb=1\r\n"},
        {"Windows-1252", "[S]\na=\x84x\x93 \x96 \x80\nb=\xFC\x81\x8D\x8F\x90\x9D\n"},
        {"Windows-1252 with BOM", "\xEF\xBB\xBF[S]\na=\x80\nb=1\n"},
        {"mixed", "[S]\na=\xC3\xA9\nb=\xE9\n[T]\nc=\xE2\x82\xAC\n"},
        {"CR line ends", "[S]\ra=1\r[T]\rb=2"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TIniFile ini(Path());
        std::map<std::pair<QString, QString>, QString> before;
        WriteRaw(c.Bytes);
        for (const QString& section : ini.ReadSections()) {
            for (const QString& key : ini.ReadSection(section)) {
                before[{section, key}] = ini.ReadString(section, key, "missing");
            }
        }
        ASSERT_GE(before.size(), 2u);
        auto written = before;
        written[{"S", "new"}] = QString();
        for (const auto& [target, unused] : written) {
            WriteRaw(c.Bytes);
            ini.WriteString(target.first, target.second, "written");
            EXPECT_EQ(ini.ReadString(target.first, target.second, "missing"), "written");
            for (const auto& [other, value] : before) {
                if (other != target) {
                    EXPECT_EQ(ini.ReadString(other.first, other.second, "missing"), value)
                        << "writing " << target.second.toStdString() << " changed " << other.second.toStdString();
                }
            }
        }
    }
}

TEST_F(IniFile, LongValuesAreReadWhole) {
    const QString longValue(5000, 'v');
    TIniFile ini(Path());
    ini.WriteString("S", "Long", longValue);
    EXPECT_EQ(ini.ReadString("S", "Long", ""), longValue);
}

TEST_F(IniFile, TwoObjectsOnOneFileLoseNothing) {
    TIniFile first(Path());
    TIniFile second(Path());
    first.WriteString("Options", "A", "1");
    second.WriteString("Options", "FirstStart", "0");
    first.WriteString("Options", "A", "2");
    EXPECT_EQ(ReadRaw(), "[Options]\nA=2\nFirstStart=0\n");
}

TEST_F(IniFile, NamesAreTrimmedAlikeWhenSearchedAndWritten) {
    TIniFile ini(Path());
    ini.WriteString(" Options ", " Key ", "1");
    ini.WriteString(" Options ", "Key", "2");
    EXPECT_EQ(ReadRaw(), "[Options]\nKey=2\n");
    EXPECT_EQ(ini.ReadString(" options ", " key ", "default"), "2");
}

TEST_F(IniFile, UnsafeNamesAndValuesAreRefusedAndTheFileIsUntouched) {
    WriteRaw("[S]\nK=old\n");
    TIniFile ini(Path());
    struct TCase {
        const char* Section;
        const char* Key;
        const char* Value;
    };
    const TCase cases[] = {
        {"S", "K", "line\nInjected=1"},
        {"S", "K", "cr\r"},
        {"S", "Bad=Key", "v"},
        {"S", "", "v"},
        {"S", "[X]", "v"},
        {"S", ";c", "v"},
        {"S", " #c", "v"},
        {"A]B", "K", "v"},
        {"", "K", "v"},
        {"S\nT", "K", "v"},
        {"S", "K\rL", "v"},
    };
    for (const TCase& c : cases) {
        try {
            ini.WriteString(c.Section, c.Key, c.Value);
            ADD_FAILURE() << "accepted " << c.Section << "/" << c.Key;
        } catch (const EIniFileException& error) {
            EXPECT_TRUE(error.Message().contains(Path())) << error.what();
        }
    }
    try {
        ini.WriteString("S", "K", "a\nb");
    } catch (const EIniFileException& error) {
        EXPECT_TRUE(error.Message().contains("\"K\"")) << error.what();
    }
    EXPECT_EQ(ReadRaw(), "[S]\nK=old\n");
}

// Reads and writes refuse what is no regular file of at most 16 MiB, without
// opening it: a FIFO would block and a link to a device would never end.
TEST_F(IniFile, OnlyRegularFilesUpTo16MiBAreUsed) {
    constexpr qint64 TooLarge = 16 * 1024 * 1024 + 1;
    ASSERT_TRUE(QDir(FDir.path()).mkdir("folder.cfg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo.cfg")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", Path("zero.cfg")));
    {
        QFile big(Path("big.cfg"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(TooLarge));
    }
    auto errorOf = [](const std::function<void()>& Operation) {
        try {
            Operation();
        } catch (const EIniFileException& error) {
            return error.Message();
        }
        return QString("no error");
    };
    const std::pair<const char*, const char*> cases[] = {
        {"folder.cfg", "it is not a regular file"},
        {"fifo.cfg", "it is not a regular file"},
        {"zero.cfg", "it is not a regular file"},
        {"big.cfg", "it is larger than 16 MiB"},
    };
    for (const auto& [name, reason] : cases) {
        TIniFile ini(Path(name));
        EXPECT_EQ(errorOf([&] { ini.ReadString("S", "K", "d"); }), "Unable to read " + Path(name) + ": " + reason);
        EXPECT_EQ(errorOf([&] { ini.WriteString("S", "K", "v"); }), "Unable to write to " + Path(name) + ": " + reason);
    }
    EXPECT_EQ(QFileInfo(Path("big.cfg")).size(), TooLarge);
    {
        QFile full(Path("full.cfg"));
        ASSERT_TRUE(full.open(QIODevice::WriteOnly) && full.resize(TooLarge - 1));
    }
    EXPECT_EQ(errorOf([&] { TIniFile(Path("full.cfg")).WriteString("S", "K", "v"); }),
              "Unable to write to " + Path("full.cfg") + ": it would grow larger than 16 MiB");
    const QString unreachable = FDir.path() + "/missing/x.cfg";
    EXPECT_EQ(TIniFile(unreachable).ReadString("S", "K", "d"), "d");
    EXPECT_EQ(errorOf([&] { TIniFile(unreachable).WriteString("S", "K", "v"); }),
              "Unable to write to " + unreachable + ": No such file or directory");
}

// A write on a full disk fails with its reason and leaves the old file
// whole, with no temporary file beside it.
TEST(IniFileOnAFullDisk, AFailedWriteKeepsTheOldFile) {
    const platform::testing::FullDisk disk;
    if (!disk.Mounted()) {
        GTEST_SKIP() << disk.Reason();
    }
    const QString path = QString::fromStdString(disk.Path("settings.cfg"));
    TIniFile ini(path);
    for (int i = 0; i < 40; ++i) {
        ini.WriteString("Options", QString("Key%1").arg(i), QString("value %1").arg(i));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    disk.Fill();
    try {
        ini.WriteString("Options", "Key40", "value 40");
        ADD_FAILURE() << "the write reported success";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + path + ": No space left on device");
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(disk.Files(), (std::vector<std::string>{"filler", "settings.cfg"}));
}

// A settings file made read-only is refused, as writing it in place would
// be, and keeps its bytes.
TEST_F(IniFile, AWriteProtectedFileIsRefusedAndKept) {
    WriteRaw("[Options]\nKey=old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(FDir.path()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(Path()).constData(), 0444), 0);
    const platform::testing::Unprivileged user;
    if (!user.Active()) {
        GTEST_SKIP() << user.Reason();
    }
    try {
        TIniFile(Path()).WriteString("Options", "Key", "new");
        ADD_FAILURE() << "the write reported success";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + Path() + ": Permission denied");
    }
    EXPECT_EQ(ReadRaw(), "[Options]\nKey=old\n");
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.cfg"});
}

// Two processes write their keys into one file at the same time: the lock
// makes each read-modify-write wait for the other's, so no key is lost.
TEST_F(IniFile, WritersInSeveralProcessesLoseNothing) {
    constexpr int Keys = 200;
    auto key = [](int Writer, int Index) { return QString("w%1k%2").arg(Writer).arg(Index); };
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    pid_t writers[2];
    for (int writer = 0; writer < 2; ++writer) {
        writers[writer] = ::fork();
        ASSERT_GE(writers[writer], 0);
        if (writers[writer] == 0) {
            // Both begin when the test closes its end of the pipe.
            ::close(start[1]);
            char byte = 0;
            bool ok = ::read(start[0], &byte, 1) == 0;
            try {
                TIniFile ini(Path());
                for (int i = 0; i < Keys; ++i) {
                    ini.WriteString("S", key(writer, i), QString::number(i));
                }
            } catch (const EIniFileException&) {
                ok = false;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    for (const pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const TIniFile ini(Path());
    EXPECT_EQ(ini.ReadSection("S").size(), 2 * Keys);
    for (int writer = 0; writer < 2; ++writer) {
        for (int i = 0; i < Keys; ++i) {
            EXPECT_EQ(ini.ReadString("S", key(writer, i), "lost"), QString::number(i)) << key(writer, i).toStdString();
        }
    }
}

TEST_F(IniFile, QuotedValuesSurviveTheRoundTrip) {
    TIniFile ini(Path());
    const char* values[] = {"'single'", "\"double\"", "\"", "'", "in'side", "\"mixed'", "", "plain"};
    for (const char* value : values) {
        StorageWriteString(&ini, "S", "K", value);
        EXPECT_EQ(StorageReadString(&ini, "S", "K", "default"), value) << value;
    }
    StorageWriteString(&ini, "S", "K", "'single'");
    EXPECT_EQ(ReadRaw(), "[S]\nK=\"'single'\"\n");
    StorageWriteString(&ini, "S", "K", "in'side");
    EXPECT_EQ(ReadRaw(), "[S]\nK=in'side\n");
    StorageWriteString(nullptr, "S", "K", "x");
    EXPECT_EQ(StorageReadString(nullptr, "S", "K", "none"), "none");
    EXPECT_EQ(StorageReadInteger(nullptr, "S", "K", 7), 7);
}

}  // namespace
}  // namespace kit
