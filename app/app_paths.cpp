#include "app/app_paths.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>

#include "platform/dynamic_library.h"

namespace app {
namespace {

constexpr const char* LanguageFolderName = "Language";

// The sub-folder of Folder called Name, or else the one whose name differs
// from it only in letter case when there is exactly one such.
QString FindFolderIgnoringCase(const QString& Folder, const QString& Name) {
    const QDir dir(Folder);
    if (dir.exists(Name) && QFileInfo(dir.filePath(Name)).isDir()) {
        return dir.filePath(Name);
    }
    QStringList matches;
    for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.compare(Name, Qt::CaseInsensitive) == 0) {
            matches << entry;
        }
    }
    return matches.size() == 1 ? dir.filePath(matches.front()) : QString();
}

}  // namespace

QString TAppPaths::NextToProgram(const QString& Extension) const {
    return QDir(DataFolder).filePath(ProgramName + Extension);
}

QString TAppPaths::DefaultCardFile() const { return QDir(DataFolder).filePath("Codes.csv"); }

QString TAppPaths::LanguageFolder() const {
    for (const QString& base : {ProgramFolder, ShareFolder}) {
        if (base.isEmpty()) {
            continue;
        }
        QString found = FindFolderIgnoringCase(base, LanguageFolderName);
        if (!found.isEmpty()) {
            return found;
        }
    }
    return {};
}

QString TAppPaths::LocaleFolder() const {
    QString besideProgram = QDir(ProgramFolder).filePath("locale");
    if (QFileInfo(besideProgram).isDir() || ShareFolder.isEmpty()) {
        return besideProgram;
    }
    return QDir(ShareFolder).filePath("locale");
}

QString ChooseDataFolder(const QString& ProgramFolder, const QString& ConfigHome, const TIsWritable& IsWritable) {
    if (IsWritable(ProgramFolder)) {
        return ProgramFolder;
    }
    return QDir(ConfigHome).filePath("zintareko");
}

QString ConfigHome() {
    QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty()) {
        return xdg;
    }
    return QDir(QDir::homePath()).filePath(".config");
}

TAppPaths RunningProgramPaths() {
    TAppPaths paths;
    paths.ProgramFolder = QString::fromStdString(platform::ProgramFolder());
    paths.ProgramName = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).fileName();
    paths.ShareFolder = QDir::cleanPath(paths.ProgramFolder + "/../share/zintareko");
    paths.DataFolder = ChooseDataFolder(paths.ProgramFolder, ConfigHome(), [](const QString& Folder) {
        return ::access(QFile::encodeName(Folder).constData(), W_OK) == 0;
    });
    QDir().mkpath(paths.DataFolder);
    return paths;
}

}  // namespace app
