#include "kit/tests/test_objects.h"

#include <QVBoxLayout>

namespace kit::testing {

namespace {

template <typename TControl>
TControl* Named(TControl* Control, const char* Name) {
    Control->setObjectName(Name);
    return Control;
}

}  // namespace

TTestOptionsForm::TTestOptionsForm(const QString& IniFileName, bool CallLoaded) {
    setObjectName("OptionsForm");
    auto* layout = new QVBoxLayout(this);
    AutoRunCheckBox = Named(new TCheckBox("Run at Windows startup in reading multiple cards mode "), "AutoRunCheckBox");
    CopyToClipboardCheckBox = Named(new TCheckBox("Copy card code to Clipboard"), "CopyToClipboardCheckBox");
    CopyToTextBoxCheckBox =
        Named(new TCheckBox("Copy card code to active text box in another application"), "CopyToTextBoxCheckBox");
    RadioGroupFormat = Named(new TRadioGroup("Format:"), "RadioGroupFormat");
    RadioGroupFormat->SetItems({"40 bit", "24 bit", "8+16 bit", "40 bit HEX"});
    RadioGroupEndOfLine = Named(new TRadioGroup("End of line:"), "RadioGroupEndOfLine");
    RadioGroupEndOfLine->SetItems({"None", "TAB", "CR", "LF"});
    SaveToFileCheckBox = Named(new TCheckBox("Append card codes to file:"), "SaveToFileCheckBox");
    SaveToFileEdit = Named(new TEdit, "SaveToFileEdit");
    PlaySoundCheckBox = Named(new TCheckBox("Acoustic signal upon card reading"), "PlaySoundCheckBox");
    for (QWidget* control : std::initializer_list<QWidget*>{
             AutoRunCheckBox, CopyToClipboardCheckBox, CopyToTextBoxCheckBox, RadioGroupFormat, RadioGroupEndOfLine,
             SaveToFileCheckBox, SaveToFileEdit, PlaySoundCheckBox}) {
        layout->addWidget(control);
    }
    CopyToClipboardCheckBox->setChecked(true);
    CopyToTextBoxCheckBox->setChecked(true);
    SaveToFileCheckBox->setChecked(true);
    PlaySoundCheckBox->setChecked(true);
    RadioGroupFormat->SetItemIndex(0);
    RadioGroupEndOfLine->SetItemIndex(0);

    FormStorage1 = Named(new TFormStorage(this), "FormStorage1");
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
