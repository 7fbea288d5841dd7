#include "app/startup.h"

namespace app {

bool IsFirstStart(const QString& FirstStartValue) { return FirstStartValue != QLatin1String("False"); }

EWindowStart RunStartup(TStartupHost& Host, bool AutoRun) {
    if (Host.LanguageFileExists()) {
        Host.LoadLanguageFile();
    }
    EWindowStart start = EWindowStart::Shown;
    if (AutoRun) {
        if (!Host.AutoRunOption()) {
            return EWindowStart::None;
        }
        if (Host.HideAfterMinimize()) {
            // Without a notification area a hidden window could not be reached again.
            start = Host.TrayAvailable() ? EWindowStart::Hidden : EWindowStart::Minimized;
        }
        Host.InitializeForm();
        Host.ReadMultipleCards();
    }
    if (IsFirstStart(Host.ReadFirstStart())) {
        // Stored before anything else, so an interrupted first start is not repeated.
        Host.WriteFirstStart();
        Host.SelectLanguageAtFirstStart();
        if (Host.LanguageFileExists()) {
            Host.LoadLanguageFile();
        }
        Host.SetDefaultAppendFile();
        Host.SaveOptions();
    }
    return start;
}

}  // namespace app
