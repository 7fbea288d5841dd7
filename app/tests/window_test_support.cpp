#include "app/tests/window_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QToolTip>

#include "app/localization.h"
#include "reader/kev3_dll.h"

namespace app::testing {
namespace {

// One application object for all cases; the driver library bound once.
class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        FApplication = std::make_unique<QApplication>(FArgc, FArgv);
        reader::LoadKEV3DLL();
    }
    void TearDown() override {
        reader::UnloadKEV3DLL();
        FApplication.reset();
    }

private:
    int FArgc = 1;
    char FName[16] = "app_window_test";
    char* FArgv[2] = {FName, nullptr};
    std::unique_ptr<QApplication> FApplication;
};

[[maybe_unused]] ::testing::Environment* const Environment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace

TWindowTestBase::TWindowTestBase() {
    FPaths.ProgramFolder = FDir.path();
    FPaths.DataFolder = FDir.path();
    FPaths.ShareFolder = FDir.filePath("share");
    FPaths.ProgramName = "zintareko";
    // A language file that does not exist: every lookup gives its default.
    TLocalization::LoadLanguageFile(FDir.filePath("none.ini"));
    FServices.ShowError = [this](const QString& Message) { FErrors << Message; };
    FServices.AskYesNo = [this](const QString& Question) {
        FQuestions << Question;
        return FAnswer;
    };
    FServices.ExecModal = [this](QDialog& Dialog) {
        Dialog.show();
        const int result = FOnModal ? FOnModal(Dialog) : QDialog::Rejected;
        Dialog.hide();
        return result;
    };
    FServices.AskSaveFileName = [](QWidget*, const TSaveDialog&) { return QString(); };
    FServices.OpenUrl = [this](const QUrl& Address) {
        FOpenedUrls << Address.toString();
        return FBrowserWorks;
    };
    FServices.AppVersion = [this] { return FVersion; };
    FServices.Readers = KevReaderService();
    FServices.Beep = [this] { ++FBeeps; };
    FServices.SetClipboardText = DefaultServices().SetClipboardText;
    FServices.OpenKeySink = [this] {
        // The window's outputs type through this sink; the fixture keeps the events.
        class TForwardingSink final : public platform::KeySink {
        public:
            explicit TForwardingSink(platform::KeySink& Target) : FTarget(Target) {}
            void KeyEvent(const platform::TKeyEvent& Event) override { FTarget.KeyEvent(Event); }
            std::uint8_t ScanCode(std::uint8_t VirtualKey) override { return FTarget.ScanCode(VirtualKey); }
            std::uint16_t VkKeyScan(char Character) override { return FTarget.VkKeyScan(Character); }
            void ToggleNumLock() override { FTarget.ToggleNumLock(); }
            void Sync() override { FTarget.Sync(); }

        private:
            platform::KeySink& FTarget;
        };
        return std::unique_ptr<platform::KeySink>(std::make_unique<TForwardingSink>(FKeys));
    };
    FServices.OpenTrayBackend = [this] {
        auto tray = std::make_unique<kit::testing::TFakeTrayBackend>();
        tray->AddSucceeds = FTrayWorks;
        FTray = tray.get();
        return std::unique_ptr<kit::TTrayBackend>(std::move(tray));
    };
    FServices.TrayAvailable = [this] { return FTrayWorks; };
    FServices.Clock = &FClock;
}

TWindowTestBase::~TWindowTestBase() { TLocalization::LoadLanguageFile(FDir.filePath("none.ini")); }

TMainViewTestBase::~TMainViewTestBase() {
    FView.reset();
    OptionsForm = nullptr;
}

void TMainViewTestBase::Start(const char* Scenario) {
    ASSERT_EQ(FKev3.Load(Scenario), 0);
    OptionsForm = nullptr;
    FView.reset();
    FOptions = std::make_unique<TOptionsForm>(FPaths.SettingsFile(), FServices);
    OptionsForm = FOptions.get();
    FView = std::make_unique<TMainViewForm>(FPaths, FServices);
    FView->InitializeForm();
}

void TWindowTestBase::WriteFile(const QString& RelativeName, const QByteArray& Text) const {
    const QString name = QDir(FDir.path()).filePath(RelativeName);
    QDir().mkpath(QFileInfo(name).path());
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name.toStdString();
    file.write(Text);
}

QByteArray TWindowTestBase::ReadFile(const QString& RelativeName) const {
    QFile file(QDir(FDir.path()).filePath(RelativeName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TWindowTestBase::UseLanguageFile(const QByteArray& Text) const {
    WriteFile("zintareko.ini", Text);
    TLocalization::LoadLanguageFile(FPaths.LangFile());
}

QString ToolTipShown(QWidget& Control) {
    const QPoint inside(1, 1);
    QHelpEvent pointing(QEvent::ToolTip, inside, Control.mapToGlobal(inside));
    QApplication::sendEvent(&Control, &pointing);
    const QString shown = QToolTip::text();
    QToolTip::hideText();
    return shown;
}

}  // namespace app::testing
