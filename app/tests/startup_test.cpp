// The start-up steps: "/AutoRun" x stored option x first start x language
// file x notification area, against a host that records what it is asked.

#include "app/startup.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace app {
namespace {

class TRecordingHost final : public TStartupHost {
public:
    bool LanguageFileExists() const override { return LanguageFile; }
    void LoadLanguageFile() override { Calls.push_back("load-language"); }
    bool AutoRunOption() const override { return AutoRun; }
    bool HideAfterMinimize() const override { return Hide; }
    bool TrayAvailable() const override { return Tray; }
    void InitializeForm() override { Calls.push_back("initialize"); }
    void ReadMultipleCards() override { Calls.push_back("read-multiple"); }
    QString ReadFirstStart() override { return FirstStart; }
    void WriteFirstStart() override {
        if (SettingsReadOnly) {
            throw std::runtime_error("Unable to write to Zintareko.cfg");
        }
        Calls.push_back("first-start-done");
    }
    void SelectLanguageAtFirstStart() override {
        Calls.push_back("select-language");
        LanguageFile = LanguageChosen;
    }
    void SetDefaultAppendFile() override { Calls.push_back("default-append-file"); }
    void SaveOptions() override { Calls.push_back("save-options"); }

    bool LanguageFile = false;
    bool LanguageChosen = false;
    bool AutoRun = false;
    bool Hide = true;
    bool Tray = true;
    QString FirstStart = "False";
    bool SettingsReadOnly = false;
    std::vector<std::string> Calls;
};

using TCalls = std::vector<std::string>;
const TCalls FirstStartCalls = {"first-start-done", "select-language", "default-append-file", "save-options"};
const TCalls FirstStartWithLanguage = {"first-start-done", "select-language", "load-language", "default-append-file",
                                       "save-options"};

TCalls Join(TCalls A, const TCalls& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

TEST(Startup, MatrixOfSwitchOptionFirstStartAndLanguageFile) {
    struct TCase {
        const char* Name;
        bool Switch;
        bool AutoRun;
        QString FirstStart;
        bool LanguageFile;
        bool LanguageChosen;
        bool Tray;
        EWindowStart Start;
        TCalls Calls;
    };
    // clang-format off
    const std::vector<TCase> cases = {
        {"normal start",                   false, false, "False",  false, false, true,  EWindowStart::Shown, {}},
        {"normal start, language",         false, true,  "False",  true,  false, true,  EWindowStart::Shown, {"load-language"}},
        {"first start",                    false, false, "True",   false, false, true,  EWindowStart::Shown, FirstStartCalls},
        {"first start, language chosen",   false, false, "True",   false, true,  true,  EWindowStart::Shown, FirstStartWithLanguage},
        {"first start, language there",    false, false, "True",   true,  true,  true,  EWindowStart::Shown,
         Join({"load-language"}, FirstStartWithLanguage)},
        {"lower-case false",               false, false, "false",  false, false, true,  EWindowStart::Shown, FirstStartCalls},
        {"other value",                    false, false, " False", false, false, true,  EWindowStart::Shown, FirstStartCalls},
        {"switch, option off",             true,  false, "False",  false, false, true,  EWindowStart::None,  {}},
        {"switch, option off, first start, language",
                                           true,  false, "True",   true,  true,  true,  EWindowStart::None,  {"load-language"}},
        {"switch, option on",              true,  true,  "False",  false, false, true,  EWindowStart::Hidden,
         {"initialize", "read-multiple"}},
        {"switch, option on, language",    true,  true,  "False",  true,  false, true,  EWindowStart::Hidden,
         {"load-language", "initialize", "read-multiple"}},
        {"switch, option on, first start", true,  true,  "True",   false, true,  true,  EWindowStart::Hidden,
         Join({"initialize", "read-multiple"}, FirstStartWithLanguage)},
        {"switch, option on, no tray",     true,  true,  "False",  false, false, false, EWindowStart::Minimized,
         {"initialize", "read-multiple"}},
    };
    // clang-format on
    for (const TCase& c : cases) {
        TRecordingHost host;
        host.AutoRun = c.AutoRun;
        host.FirstStart = c.FirstStart;
        host.LanguageFile = c.LanguageFile;
        host.LanguageChosen = c.LanguageChosen;
        host.Tray = c.Tray;
        EXPECT_EQ(RunStartup(host, c.Switch), c.Start) << c.Name;
        EXPECT_EQ(host.Calls, c.Calls) << c.Name;
    }
}

TEST(Startup, HideAfterMinimizeOffShowsTheWindowAtALogOnStart) {
    TRecordingHost host;
    host.AutoRun = true;
    host.Hide = false;
    EXPECT_EQ(RunStartup(host, true), EWindowStart::Shown);
}

TEST(Startup, ASettingsFileThatCannotBeWrittenEndsTheStart) {
    TRecordingHost host;
    host.FirstStart = "True";
    host.SettingsReadOnly = true;
    EXPECT_THROW(RunStartup(host, false), std::runtime_error);
    EXPECT_TRUE(host.Calls.empty()) << "nothing of the first start runs before its mark is stored";
}

}  // namespace
}  // namespace app
