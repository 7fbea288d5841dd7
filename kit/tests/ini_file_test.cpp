#include "kit/ini_file.h"

#include <gtest/gtest.h>

#include <QDir>

#include "kit/app_utils.h"
#include "kit/tests/temp_folder.h"

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

TEST_F(IniFile, EncodingsAreReadAndKept) {
    WriteRaw("\xEF\xBB\xBF[S]\nName=gr\xC3\xBC\xC3\x9F\n");
    TIniFile utf8(Path());
    EXPECT_EQ(utf8.ReadString("S", "Name", ""), QString::fromUtf8("gr\xC3\xBC\xC3\x9F"));
    utf8.WriteString("S", "More", QString::fromUtf8("\xC3\xA4"));
    EXPECT_EQ(ReadRaw(), "\xEF\xBB\xBF[S]\nName=gr\xC3\xBC\xC3\x9F\nMore=\xC3\xA4\n");

    WriteRaw("[S]\nName=gr\xFC\xDF\n", "latin1.ini");
    TIniFile latin1(Path("latin1.ini"));
    EXPECT_EQ(latin1.ReadString("S", "Name", ""), QString::fromLatin1("gr\xFC\xDF"));
    latin1.WriteString("S", "More", QString::fromLatin1("\xE4"));
    EXPECT_EQ(ReadRaw("latin1.ini"), "[S]\nName=gr\xFC\xDF\nMore=\xE4\n");
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

TEST_F(IniFile, StoreThatIsADirectoryRaisesUnableToWrite) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("folder.cfg"));
    TIniFile ini(Path("folder.cfg"));
    EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
    try {
        ini.WriteString("S", "K", "v");
        FAIL() << "a directory was written";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + Path("folder.cfg"));
    }
    EXPECT_THROW(TIniFile(FDir.path() + "/missing/x.cfg").WriteString("S", "K", "v"), EIniFileException);
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
