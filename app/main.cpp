// Starts the tool: binds the reader libraries, creates the main window and the
// options dialog, loads the language file and runs the message loop.
#include <QApplication>
#include <QFile>

#include "app/app_paths.h"
#include "app/app_services.h"
#include "app/localization.h"
#include "app/main_view_form.h"
#include "app/options_form.h"
#include "reader/kev3_dll.h"
#include "reader/mifare_dll.h"

int main(int argc, char* argv[]) {
    reader::LoadKEV3DLL();
    reader::LoadMifareDLL();
    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setApplicationName("Zintareko");
        const app::TAppPaths paths = app::RunningProgramPaths();
        app::TAppServices services = app::DefaultServices();
        try {
            app::TMainViewForm mainView(paths, services);
            app::TOptionsForm options(paths.SettingsFile(), services, &mainView);
            app::OptionsForm = &options;
            if (QFile::exists(paths.LangFile())) {
                app::TLocalization::LoadLanguageFile(paths.LangFile());
            }
            mainView.show();
            result = QApplication::exec();
            app::OptionsForm = nullptr;
        } catch (const std::exception& Error) {
            services.ShowError(QString::fromUtf8(Error.what()));
            result = 1;
        }
    }
    reader::FreeMifareDLL();
    reader::UnloadKEV3DLL();
    return result;
}
