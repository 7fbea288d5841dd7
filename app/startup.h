#pragma once

#include <QString>

namespace app {

// The command-line switch for a start at log-on.
inline constexpr const char* AutoRunSwitch = "/AutoRun";

// True unless the stored "FirstStart" value is exactly "False".
bool IsFirstStart(const QString& FirstStartValue);

// The program's windows and files as the start-up steps see them.
class TStartupHost {
public:
    virtual ~TStartupHost() = default;
    virtual bool LanguageFileExists() const = 0;
    virtual void LoadLanguageFile() = 0;
    // The stored option to read multiple cards at a start at log-on.
    virtual bool AutoRunOption() const = 0;
    // The tray menu item "Hide after minimize".
    virtual bool HideAfterMinimize() const = 0;
    // Whether the desktop shows notification-area icons.
    virtual bool TrayAvailable() const = 0;
    // The main window's one-time set-up: texts, caption, reader list.
    virtual void InitializeForm() = 0;
    // Starts reading multiple cards on the selected reader, whatever the
    // enabling of the command.
    virtual void ReadMultipleCards() = 0;
    // "FirstStart" of the settings file, "True" when missing.
    virtual QString ReadFirstStart() = 0;
    // Stores "FirstStart" = "False".
    virtual void WriteFirstStart() = 0;
    // The language selector, without its Cancel button.
    virtual void SelectLanguageAtFirstStart() = 0;
    // Sets the append file to "Codes.csv" next to the program.
    virtual void SetDefaultAppendFile() = 0;
    // Writes every stored option to the settings file.
    virtual void SaveOptions() = 0;
};

// How the main window comes up when the message loop starts.
enum class EWindowStart {
    Shown,      // a normal window
    Hidden,     // only the notification-area icon
    Minimized,  // minimised: a log-on start where there is no notification area
    None,       // the program ends without showing anything
};

// Runs the start-up steps between the creation of the windows and the
// message loop: language file, "/AutoRun" (AutoRun: the switch was given),
// first start. Errors of the host
// (a settings file that cannot be written, a reader error during the reader
// list's refresh) pass to the caller, which ends the program.
EWindowStart RunStartup(TStartupHost& Host, bool AutoRun);

}  // namespace app
