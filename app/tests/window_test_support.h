#pragma once

#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>

#include "app/app_paths.h"
#include "app/app_services.h"
#include "app/main_view_form.h"
#include "app/options_form.h"
#include "kit/testing/fake_tray_backend.h"
#include "platform/testing/fake_clock.h"
#include "platform/testing/recording_key_sink.h"
#include "sim/ftdi/ftdi_sim_control.h"
#include "sim/kev3/kev3_sim_control.h"

namespace app::testing {

// A program folder in a temporary directory, services that record instead of
// showing boxes, and no language file loaded.
class TWindowTestBase {
public:
    TWindowTestBase();
    virtual ~TWindowTestBase();
    TWindowTestBase(const TWindowTestBase&) = delete;
    TWindowTestBase& operator=(const TWindowTestBase&) = delete;

    // Writes Text to a file under the program folder (folders made as needed).
    void WriteFile(const QString& RelativeName, const QByteArray& Text) const;
    QByteArray ReadFile(const QString& RelativeName) const;
    // Writes the language file and loads it.
    void UseLanguageFile(const QByteArray& Text) const;

    QTemporaryDir FDir;
    TAppPaths FPaths;
    TAppServices FServices;
    QStringList FErrors;        // texts of the error boxes shown
    QStringList FQuestions;     // questions asked
    bool FAnswer = true;        // the answer to every question
    QStringList FOpenedUrls;    // addresses opened
    bool FBrowserWorks = true;  // whether a browser takes them
    QString FVersion = "1.1.14.016";
    // Runs in place of a modal showing; the default returns Rejected.
    std::function<int(QDialog&)> FOnModal;
    int FBeeps = 0;                                   // beeps sounded
    platform::testing::RecordingKeySink FKeys;        // the keyboard card codes are typed on
    kit::testing::TFakeTrayBackend* FTray = nullptr;  // the notification area of the last icon made
    bool FTrayWorks = true;                           // whether icons can be added to it
    platform::testing::FakeClock FClock;              // the pause after each card
};

// The main window and the options dialog over the simulated driver library.
class TMainViewTestBase : public TWindowTestBase {
public:
    ~TMainViewTestBase() override;

    // Loads Scenario into the simulated driver library and makes both windows anew.
    void Start(const char* Scenario);

    sim::TFtdiSimControl FFtdi;  // no KEV-2 readers
    sim::TKEV3SimControl FKev3;
    std::unique_ptr<TOptionsForm> FOptions;
    std::unique_ptr<TMainViewForm> FView;
};

}  // namespace app::testing

namespace app::testing {

// The tooltip that pointing at Control shows, empty for none.
QString ToolTipShown(QWidget& Control);

}  // namespace app::testing

// Texts in test messages as text.
inline void PrintTo(const QString& Text, std::ostream* Stream) { *Stream << '"' << Text.toStdString() << '"'; }
