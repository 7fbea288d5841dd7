#pragma once

#include <QString>
#include <functional>

namespace app {

// Where the program's files are. "Next to the program" (settings file,
// language file, default card file) is the data folder: the program's own
// folder when it can be written, otherwise the per-user configuration folder.
struct TAppPaths {
    QString ProgramFolder;  // folder of the program file
    QString DataFolder;     // folder "next to the program"
    QString ShareFolder;    // installed read-only data, "<prefix>/share/zintareko"
    QString ProgramName;    // the program file's name without folder

    // DataFolder + "/" + ProgramName + Extension (".cfg", ".ini").
    QString NextToProgram(const QString& Extension) const;
    QString SettingsFile() const { return NextToProgram(".cfg"); }
    QString LangFile() const { return NextToProgram(".ini"); }
    // The default card file, "Codes.csv" in the data folder.
    QString DefaultCardFile() const;
    // The folder of installed languages: "Language" in the program folder (a
    // folder of that name in another letter case when it is the only one
    // there), else in the share folder. Empty when there is none.
    QString LanguageFolder() const;
    // The folder of the kit's message catalogs: "locale" in the program
    // folder when there is one, else in the share folder.
    QString LocaleFolder() const;
};

using TIsWritable = std::function<bool(const QString& Folder)>;

// The data folder: ProgramFolder when IsWritable says so, otherwise
// ConfigHome + "/zintareko". ConfigHome is $XDG_CONFIG_HOME, or ~/.config
// when that is unset or empty.
QString ChooseDataFolder(const QString& ProgramFolder, const QString& ConfigHome, const TIsWritable& IsWritable);

// The configuration home of the environment.
QString ConfigHome();

// The paths of the running program; creates the per-user data folder when it
// is the one chosen.
TAppPaths RunningProgramPaths();

}  // namespace app
