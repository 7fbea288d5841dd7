#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>

#include "app/app_services.h"
#include "kit/controls.h"
#include "kit/form_storage.h"
#include "kit/kit_form.h"

namespace app {

// The options dialog: every user setting of the tool. Its controls are the
// live settings (TOptions reads them); FormStorage1 keeps them in section
// "Options" of the settings file. Confirming saves them to the file at once,
// cancelling brings the file's values back.
class TOptionsForm : public kit::TKitForm {
    Q_OBJECT

public:
    // Restores the stored options from SettingsFile, or writes the defaults
    // when the file does not exist (raising the store's error when it cannot).
    TOptionsForm(const QString& SettingsFile, TAppServices& Services, QWidget* Parent = nullptr);

    kit::TCheckBox* AutoRunCheckBox;
    kit::TCheckBox* CopyToClipboardCheckBox;
    kit::TCheckBox* CopyToTextBoxCheckBox;
    kit::TRadioGroup* RadioGroupFormat;
    kit::TRadioGroup* RadioGroupEndOfLine;
    kit::TCheckBox* SaveToFileCheckBox;
    kit::TEdit* SaveToFileEdit;
    QPushButton* Button3;
    kit::TCheckBox* PlaySoundCheckBox;
    // The small pictures beside the option rows.
    QLabel* ClipboardImage;
    QLabel* TextBoxImage;
    QLabel* FileImage;
    QLabel* SoundImage;
    QLabel* AutoRunImage;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    kit::TFormStorage* FormStorage1;
    TSaveDialog SaveDialog1{"Select file location", "CSV files(*.csv)|*.csv", "csv"};

    void TranslateForm();
    void SaveToFileCheckBoxClick();
    void CopyToTextBoxCheckBoxClick();
    void Button3Click();

    void done(int Result) override;

private:
    void FormCreate(const QString& SettingsFile);
    void FormShow();
    // Takes the design size, or more where the texts need it, no larger than
    // the screen; the user cannot resize the dialog.
    void FitToTexts();
    void FormCloseQuery();

    TAppServices& FServices;
};

// The options dialog that TOptions reads; set by the program once it has
// created the dialog.
extern TOptionsForm* OptionsForm;

// The current options, read from the options dialog's controls at the moment
// of the call. Raises kit::Exception when there is no options dialog.
class TOptions {
public:
    TOptions() = delete;

    static bool AutoRun();
    static bool CopyToClipboard();
    static bool CopyToTextBox();
    // The keyboard format's item index, -1 when none is selected.
    static int CodeFormat();
    static int EndOfLine();
    static bool SaveToFile();
    static QString FileName();
    static bool PlaySound();
};

}  // namespace app
