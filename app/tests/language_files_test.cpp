// The language files that ship with the program: each holds exactly the
// sections and keys that the windows look up, in UTF-8, and the English one
// holds the texts the windows are designed with.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <map>
#include <utility>
#include <vector>

#include "kit/ini_file.h"

namespace app {
namespace {

using TKeys = std::vector<std::pair<const char*, const char*>>;  // key, design text

const std::map<QString, TKeys>& Tables() {
    static const std::map<QString, TKeys> tables = {
        {"MainViewForm",
         {{"Self", "Talvo Zintareko"},
          {"File", "File"},
          {"RefreshList", "Refresh reader list"},
          {"Help", "Help"},
          {"About", "About"},
          {"TalvoHomePage", "Talvo home page"},
          {"ReadMultiple", "Read multiple cards"},
          {"StopReading", "Stop reading"},
          {"ReadOneCard", "Read one card"},
          {"Exit", "Exit"},
          {"Tools", "Tools"},
          {"Options", "Options"},
          {"ClearList", "Clear card codes list"},
          {"SaveAs", "Save card codes as..."},
          {"SelectLanguage", "Select Language"},
          {"HideAfterMinimize", "Hide after minimize"},
          {"OpenZintarekoProgram", "Open Zintareko program"},
          {"CardCodes", "Card codes"},
          {"ReaderList", "Reader list"},
          {"SaveDialogFilter", "CSV files(*.csv)|*.csv"},
          {"SaveDialogTitle", "Save card codes"},
          {"DBGrid1Column0", "Device"},
          {"DBGrid1Column1", "Serial number"},
          {"DBGrid1Column2", "COM"},
          {"DBGrid1Column3", "Description"},
          {"DBGrid1Column4", "Info"},
          {"DBGrid2Column0", "Time"},
          {"DBGrid2Column1", "Full card code (DEC)"},
          {"DBGrid2Column2", "24 bit card code"},
          {"DBGrid2Column3", "8, 16 bit card code"},
          {"DBGrid2Column4", "Full card code (HEX)"}}},
        {"Misc",
         {{"Device", "Device"},
          {"Ready", "Ready"},
          {"ReadingOneCard", "Reading one card..."},
          {"ReadingMultipleCards", "Reading multiple cards..."},
          {"SavingToCSV", "Saving to CSV file:"},
          {"SavingError", "Saving CSV file error. Details:"},
          {"DeviceInitError", "Device Init Error"},
          {"CardCodes", "Card codes"},
          {"HomePageError", "Cannot open the home page:"},
          {"CannotOpen", "Cannot open"},
          {"CannotCreate", "Cannot create"},
          {"CannotWrite", "Cannot write"},
          {"CannotClose", "Cannot close"},
          {"NoCardFileName", "No file name is set for the card codes file."},
          {"CardFileNameControlCharacter", "The name of the card codes file holds a control character."}}},
        {"OptionsForm",
         {{"Self", "Options"},
          {"OK", "OK"},
          {"Cancel", "Cancel"},
          {"CopyToClipboard", "Copy card code to Clipboard"},
          {"SaveToFile", "Append card codes to file:"},
          {"PlaySoundFile", "Acoustic signal upon card reading"},
          {"SaveDialogFilter", "CSV files(*.csv)|*.csv"},
          {"SaveDialogTitle", "Select file location"},
          {"CopyToTextBox", "Copy card code to active text box in another application"},
          {"Format", "Format:"},
          {"RadioButton40bit", "40 bit"},
          {"RadioButton24bit", "24 bit"},
          {"RadioButton8plus16bit", "8+16 bit"},
          {"RadioButton40bitHex", "40 bit HEX"},
          {"EndOfLine", "End of line:"},
          {"RadioButtonNone", "None"},
          {"RadioButtonTAB", "TAB"},
          {"RadioButtonCR", "CR"},
          {"RadioButtonLF", "LF"},
          {"AutoRun", "Run at Windows startup in reading multiple cards mode "}}},
        {"About",
         {{"Self", "About"},
          {"ProductName", "Talvo Zintareko"},
          {"Copyright", "Copyright (C) 2026 Talvo"},
          {"OK", "OK"},
          {"Version", "Version"}}},
        {"SelectLangForm",
         {{"Self", "Language selector"},
          {"LabelSelectLanguage", "Select language:"},
          {"OK", "OK"},
          {"Cancel", "Cancel"},
          {"NoLanguageSelected", "No language selected"},
          {"SelectQuestion", "Select: %s?"},
          {"CopyError", "Copy error"},
          {"NoFilesInDirectory", "No files in Language\\%s directory"},
          {"SelectLanguage", "<Select Language>"}}},
    };
    return tables;
}

QStringList ShippedLanguages() {
    return QDir(LANGUAGE_FOLDER).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QString LanguageFile(const QString& Language) { return QString("%1/%2/zintareko.ini").arg(LANGUAGE_FOLDER, Language); }

TEST(LanguageFiles, EachHoldsExactlyTheKeysOfTheWindowsInUtf8) {
    const QStringList languages = ShippedLanguages();
    EXPECT_TRUE(languages.contains("English"));
    EXPECT_TRUE(languages.contains("Deutsch"));
    QStringList sections;
    for (const auto& [section, keys] : Tables()) {
        sections << section;
    }
    for (const QString& language : languages) {
        SCOPED_TRACE(language.toStdString());
        QFile file(LanguageFile(language));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(file.readAll());
        EXPECT_FALSE(utf8.hasError() || text.isEmpty());

        const kit::TIniFile ini(file.fileName());
        QStringList found = ini.ReadSections();
        found.sort();
        EXPECT_EQ(found, sections);
        for (const auto& [section, keys] : Tables()) {
            QStringList expected;
            for (const auto& [key, design] : keys) {
                expected << key;
                EXPECT_FALSE(ini.ReadString(section, key, "").isEmpty()) << section.toStdString() << "/" << key;
            }
            QStringList present = ini.ReadSection(section);
            present.sort();
            expected.sort();
            EXPECT_EQ(present, expected) << section.toStdString();
        }
    }
}

TEST(LanguageFiles, EnglishHoldsTheDesignTexts) {
    const kit::TIniFile ini(LanguageFile("English"));
    for (const auto& [section, keys] : Tables()) {
        for (const auto& [key, design] : keys) {
            EXPECT_EQ(ini.ReadString(section, key, "").toStdString(), design) << section.toStdString() << "/" << key;
        }
    }
}

}  // namespace
}  // namespace app
