// Starts the tool: sets up the kit's translated texts (gettext catalogs, the
// serial set's start-up) and the toolkit's own, registers the kit's picture
// formats, binds the reader libraries, creates the main window and the
// options dialog, runs the start-up steps (language file, "/AutoRun", first
// start) and the message loop.
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "app/app_paths.h"
#include "app/app_services.h"
#include "app/localization.h"
#include "app/main_view_form.h"
#include "app/options_form.h"
#include "app/startup.h"
#include "kit/ini_file.h"
#include "kit/picture_formats.h"
#include "kit/resource_strings.h"
#include "kit/serial_startup.h"
#include "reader/kev3_dll.h"
#include "reader/mifare_dll.h"

namespace app {
namespace {

constexpr const char* OptionsSection = "Options";
constexpr const char* FirstStartKey = "FirstStart";

// The start-up steps on the program's windows and files.
class TProgramStartup final : public TStartupHost {
public:
    TProgramStartup(const TAppPaths& Paths, TAppServices& Services, TMainViewForm& MainView, TOptionsForm& Options)
        : FPaths(Paths), FServices(Services), FMainView(MainView), FOptions(Options) {}

    bool LanguageFileExists() const override { return QFile::exists(FPaths.LangFile()); }
    void LoadLanguageFile() override { TLocalization::LoadLanguageFile(FPaths.LangFile()); }
    bool AutoRunOption() const override { return TOptions::AutoRun(); }
    bool HideAfterMinimize() const override { return FMainView.Hideafterminimize1->isChecked(); }
    bool TrayAvailable() const override {
        return FMainView.TrayIcon1->Added() && (!FServices.TrayAvailable || FServices.TrayAvailable());
    }
    void InitializeForm() override { FMainView.InitializeForm(); }
    void ReadMultipleCards() override { FMainView.ReadMultipleCardsToolButtonClick(); }
    QString ReadFirstStart() override {
        return kit::TIniFile(FPaths.SettingsFile()).ReadString(OptionsSection, FirstStartKey, "True");
    }
    void WriteFirstStart() override {
        kit::TIniFile(FPaths.SettingsFile()).WriteString(OptionsSection, FirstStartKey, "False");
    }
    void SelectLanguageAtFirstStart() override { FMainView.SelectLanguageAtFirstStart(); }
    void SetDefaultAppendFile() override { FOptions.SaveToFileEdit->setText(FPaths.DefaultCardFile()); }
    void SaveOptions() override { FOptions.FormStorage1->SaveFormState(); }

private:
    const TAppPaths& FPaths;
    TAppServices& FServices;
    TMainViewForm& FMainView;
    TOptionsForm& FOptions;
};

// Ends the message loop when the main window has closed: with the window
// hidden in the notification area, a closing message box would otherwise be
// the last window and end the program.
class TQuitOnClose final : public QObject {
public:
    TQuitOnClose() {
        FQuit.setSingleShot(true);
        connect(&FQuit, &QTimer::timeout, qApp, &QCoreApplication::quit);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Close) {
            FQuit.start(0);
        }
        return QObject::eventFilter(Watched, Event);
    }

private:
    QTimer FQuit;
};

// Runs the program between the creation of the application object and its end.
int RunProgram(const TAppPaths& Paths, TAppServices& Services, const QStringList& Arguments) {
    TMainViewForm mainView(Paths, Services);
    TOptionsForm options(Paths.SettingsFile(), Services, &mainView);
    OptionsForm = &options;
    struct TOptionsFormScope {
        ~TOptionsFormScope() { OptionsForm = nullptr; }
    } const scope;
    TQuitOnClose quitOnClose;
    mainView.installEventFilter(&quitOnClose);
    TProgramStartup startup(Paths, Services, mainView, options);
    switch (RunStartup(startup, TMainViewForm::ParamExists(AutoRunSwitch, Arguments))) {
        case EWindowStart::None:
            return 0;
        case EWindowStart::Shown:
            mainView.show();
            break;
        case EWindowStart::Minimized:
            mainView.showMinimized();
            break;
        case EWindowStart::Hidden:
            break;
    }
    return QApplication::exec();
}

}  // namespace
}  // namespace app

int main(int argc, char* argv[]) {
    const app::TAppPaths paths = app::RunningProgramPaths();
    // Before any other thread runs: it points gettext at the user's language.
    kit::InitResourceStrings(paths.LocaleFolder());
    kit::RegisterPictureFormats();
    reader::LoadKEV3DLL();
    reader::LoadMifareDLL();
    // The toolkit sees only the program's name: its own options on the
    // command line (-platform, -display, -stylesheet ...) are parameters like
    // any other, which the program ignores. Its settings still come from the
    // environment.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    int result = 0;
    {
        QApplication application(toolkitArgc, toolkitArgv);
        QApplication::setApplicationName("Zintareko");
        QApplication::setQuitOnLastWindowClosed(false);
        kit::InitSerialStartup();
        kit::InstallToolkitTranslations(application);
        app::TAppServices services = app::DefaultServices();
        try {
            result = app::RunProgram(paths, services, arguments);
        } catch (const std::exception& Error) {
            // Also on the standard error stream, for a start from a terminal or a log-on script.
            std::fprintf(stderr, "zintareko: %s\n", Error.what());
            services.ShowError(QString::fromUtf8(Error.what()));
            result = 1;
        }
    }
    reader::FreeMifareDLL();
    reader::UnloadKEV3DLL();
    kit::UnregisterPictureFormats();
    return result;
}
