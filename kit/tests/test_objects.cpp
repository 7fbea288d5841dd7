#include "kit/tests/test_objects.h"

namespace kit::testing {

namespace {

template <typename TControl>
TControl* Named(TControl* Control, const char* Name, QWidget* Form) {
    Control->setObjectName(Name);
    Control->setParent(Form);
    return Control;
}

}  // namespace

TTestOptionsForm::TTestOptionsForm(const QString& IniFileName, bool CallLoaded) {
    setObjectName("OptionsForm");
    AutoRunCheckBox =
        Named(new TCheckBox("Run at Windows startup in reading multiple cards mode "), "AutoRunCheckBox", this);
    CopyToClipboardCheckBox = Named(new TCheckBox("Copy card code to Clipboard"), "CopyToClipboardCheckBox", this);
    CopyToTextBoxCheckBox =
        Named(new TCheckBox("Copy card code to active text box in another application"), "CopyToTextBoxCheckBox", this);
    RadioGroupFormat = Named(new TRadioGroup("Format:"), "RadioGroupFormat", this);
    RadioGroupFormat->SetItems({"40 bit", "24 bit", "8+16 bit", "40 bit HEX"});
    RadioGroupEndOfLine = Named(new TRadioGroup("End of line:"), "RadioGroupEndOfLine", this);
    RadioGroupEndOfLine->SetItems({"None", "TAB", "CR", "LF"});
    SaveToFileCheckBox = Named(new TCheckBox("Append card codes to file:"), "SaveToFileCheckBox", this);
    SaveToFileEdit = Named(new TEdit, "SaveToFileEdit", this);
    PlaySoundCheckBox = Named(new TCheckBox("Acoustic signal upon card reading"), "PlaySoundCheckBox", this);
    CopyToClipboardCheckBox->setChecked(true);
    CopyToTextBoxCheckBox->setChecked(true);
    SaveToFileCheckBox->setChecked(true);
    PlaySoundCheckBox->setChecked(true);
    RadioGroupFormat->SetItemIndex(0);
    RadioGroupEndOfLine->SetItemIndex(0);

    FormStorage1 = Named(new TFormStorage(this), "FormStorage1", this);
    FormStorage1->SetIniFileName(IniFileName);
    FormStorage1->SetIniSection("Options");
    FormStorage1->SetOptions({});
    FormStorage1->SetActive(false);
    FormStorage1->SetStoredProps({"CopyToClipboardCheckBox.Checked", "SaveToFileCheckBox.Checked",
                                  "PlaySoundCheckBox.Checked", "SaveToFileEdit.Text", "CopyToTextBoxCheckBox.Checked",
                                  "AutoRunCheckBox.Checked", "RadioGroupFormat.ItemIndex",
                                  "RadioGroupEndOfLine.ItemIndex"});
    if (CallLoaded) {
        Loaded();
    }
}

}  // namespace kit::testing
