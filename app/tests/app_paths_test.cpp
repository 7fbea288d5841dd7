#include "app/app_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

namespace app {
namespace {

TEST(DataFolder, IsTheProgramFolderWhenWritableElseTheUserConfigFolder) {
    QStringList asked;
    const auto check = [&](bool Writable) {
        return [&asked, Writable](const QString& Folder) {
            asked << Folder;
            return Writable;
        };
    };
    EXPECT_EQ(ChooseDataFolder("/opt/zintareko/bin", "/home/u/.config", check(true)), "/opt/zintareko/bin");
    EXPECT_EQ(ChooseDataFolder("/opt/zintareko/bin", "/home/u/.config", check(false)), "/home/u/.config/zintareko");
    EXPECT_EQ(asked, (QStringList{"/opt/zintareko/bin", "/opt/zintareko/bin"}));
}

TEST(DataFolder, ConfigHomeComesFromTheEnvironment) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/xdg");
    EXPECT_EQ(ConfigHome(), "/tmp/xdg");
    qputenv("XDG_CONFIG_HOME", "");
    EXPECT_EQ(ConfigHome(), QDir::homePath() + "/.config");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(DataFolder, FilesNextToTheProgramAreNamedAfterIt) {
    TAppPaths paths;
    paths.DataFolder = "/home/u/.config/zintareko";
    paths.ProgramName = "zintareko";
    EXPECT_EQ(paths.SettingsFile(), "/home/u/.config/zintareko/zintareko.cfg");
    EXPECT_EQ(paths.LangFile(), "/home/u/.config/zintareko/zintareko.ini");
    EXPECT_EQ(paths.DefaultCardFile(), "/home/u/.config/zintareko/Codes.csv");
}

TEST(LanguageFolder, ExactNameFirstThenTheOnlyOtherCaseThenTheShareFolder) {
    struct Case {
        QStringList ProgramFolders;
        QStringList ShareFolders;
        const char* Expected;  // relative to the temporary folder; "" for none
    };
    const Case cases[] = {
        {{"Language", "language"}, {"Language"}, "bin/Language"},
        {{"language"}, {"Language"}, "bin/language"},
        {{"LANGUAGE", "language"}, {"Language"}, "share/Language"},
        {{}, {"Language"}, "share/Language"},
        {{}, {"language"}, "share/language"},
        {{}, {}, ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        TAppPaths paths;
        paths.ProgramFolder = dir.filePath("bin");
        paths.ShareFolder = dir.filePath("share");
        for (const auto& name : c.ProgramFolders) {
            QDir().mkpath(paths.ProgramFolder + "/" + name);
        }
        for (const auto& name : c.ShareFolders) {
            QDir().mkpath(paths.ShareFolder + "/" + name);
        }
        const QString expected = *c.Expected ? dir.filePath(c.Expected) : QString();
        EXPECT_EQ(paths.LanguageFolder(), expected) << c.Expected;
    }
}

TEST(LocaleFolder, BesideTheProgramElseInTheShareFolder) {
    QTemporaryDir dir;
    TAppPaths paths;
    paths.ProgramFolder = dir.filePath("bin");
    paths.ShareFolder = dir.filePath("share");
    EXPECT_EQ(paths.LocaleFolder(), dir.filePath("share/locale"));
    QDir().mkpath(dir.filePath("bin/locale"));
    EXPECT_EQ(paths.LocaleFolder(), dir.filePath("bin/locale"));
}

}  // namespace
}  // namespace app
