#include "app/options_form.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QStyle>
#include <QVBoxLayout>

#include "app/localization.h"
#include "app/named.h"
#include "app/window_position.h"

namespace app {

TOptionsForm* OptionsForm = nullptr;

namespace {

constexpr const char* Section = "OptionsForm";

// The client area the dialog is designed with; translated texts may need more.
const QSize DesignSize(445, 334);

// A small picture from the desktop's icon theme, or Qt's own where the
// theme has none.
QLabel* Image(const char* ThemeName, QStyle::StandardPixmap Fallback, const char* Name, QWidget* Parent) {
    auto* label = Named(new QLabel(Parent), Name);
    const int size = Parent->style()->pixelMetric(QStyle::PM_SmallIconSize);
    label->setPixmap(QIcon::fromTheme(ThemeName, Parent->style()->standardIcon(Fallback)).pixmap(size, size));
    return label;
}

QString Tr(const char* Key, const QString& Current) { return TLocalization::Translate(Section, Key, Current); }

void TranslateItems(kit::TRadioGroup* Group, const char* CaptionKey, std::initializer_list<const char*> ItemKeys) {
    Group->setTitle(Tr(CaptionKey, Group->title()));
    QStringList items = Group->Items();
    int i = 0;
    for (const char* key : ItemKeys) {
        items[i] = Tr(key, items[i]);
        ++i;
    }
    const int index = Group->ItemIndex();
    Group->SetItems(items);
    Group->SetItemIndex(index);
}

}  // namespace

TOptionsForm::TOptionsForm(const QString& SettingsFile, TAppServices& Services, QWidget* Parent)
    : kit::TKitForm(Parent), FServices(Services) {
    setObjectName("OptionsForm");
    setWindowTitle("Options");
    resize(DesignSize);

    AutoRunCheckBox =
        Named(new kit::TCheckBox("Run at Windows startup in reading multiple cards mode ", this), "AutoRunCheckBox");
    CopyToClipboardCheckBox = Named(new kit::TCheckBox("Copy card code to Clipboard", this), "CopyToClipboardCheckBox");
    CopyToTextBoxCheckBox = Named(new kit::TCheckBox("Copy card code to active text box in another application", this),
                                  "CopyToTextBoxCheckBox");
    RadioGroupFormat = Named(new kit::TRadioGroup("Format:", this), "RadioGroupFormat");
    RadioGroupFormat->SetItems({"40 bit", "24 bit", "8+16 bit", "40 bit HEX"});
    RadioGroupEndOfLine = Named(new kit::TRadioGroup("End of line:", this), "RadioGroupEndOfLine");
    RadioGroupEndOfLine->SetItems({"None", "TAB", "CR", "LF"});
    SaveToFileCheckBox = Named(new kit::TCheckBox("Append card codes to file:", this), "SaveToFileCheckBox");
    SaveToFileEdit = Named(new kit::TEdit(this), "SaveToFileEdit");
    Button3 = Named(new QPushButton("...", this), "Button3");
    PlaySoundCheckBox = Named(new kit::TCheckBox("Acoustic signal upon card reading", this), "PlaySoundCheckBox");
    ClipboardImage = Image("edit-paste", QStyle::SP_FileDialogContentsView, "ClipboardImage", this);
    TextBoxImage = Image("input-keyboard", QStyle::SP_ComputerIcon, "TextBoxImage", this);
    FileImage = Image("document-save", QStyle::SP_DialogSaveButton, "FileImage", this);
    SoundImage = Image("audio-volume-high", QStyle::SP_MediaVolume, "SoundImage", this);
    AutoRunImage = Image("system-run", QStyle::SP_MediaPlay, "AutoRunImage", this);
    OKButton = Named(new kit::TElidedPushButton("OK", this), "OKButton");
    CancelButton = Named(new kit::TElidedPushButton("Cancel", this), "CancelButton");

    CopyToClipboardCheckBox->setChecked(true);
    CopyToTextBoxCheckBox->setChecked(true);
    SaveToFileCheckBox->setChecked(true);
    PlaySoundCheckBox->setChecked(true);
    RadioGroupFormat->SetItemIndex(0);
    RadioGroupEndOfLine->SetItemIndex(0);
    OKButton->setDefault(true);

    auto* groups = new QHBoxLayout;
    groups->addWidget(RadioGroupFormat);
    groups->addWidget(RadioGroupEndOfLine);
    auto* file = new QHBoxLayout;
    file->addWidget(SaveToFileEdit, 1);
    file->addWidget(Button3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    // The pictures in the first column, each beside the first line of its row.
    auto* rows = new QGridLayout;
    rows->setColumnStretch(1, 1);
    rows->addWidget(ClipboardImage, 0, 0);
    rows->addWidget(CopyToClipboardCheckBox, 0, 1);
    rows->addWidget(TextBoxImage, 1, 0);
    rows->addWidget(CopyToTextBoxCheckBox, 1, 1);
    rows->addLayout(groups, 2, 1);
    rows->addWidget(FileImage, 3, 0);
    rows->addWidget(SaveToFileCheckBox, 3, 1);
    rows->addLayout(file, 4, 1);
    rows->addWidget(SoundImage, 5, 0);
    rows->addWidget(PlaySoundCheckBox, 5, 1);
    rows->addWidget(AutoRunImage, 6, 0);
    rows->addWidget(AutoRunCheckBox, 6, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // The enabling follows the boxes however they change: a click, a restore
    // from the file, a cancel.
    connect(SaveToFileCheckBox, &QCheckBox::toggled, this, [this] { SaveToFileCheckBoxClick(); });
    connect(CopyToTextBoxCheckBox, &QCheckBox::toggled, this, [this] { CopyToTextBoxCheckBoxClick(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    FormStorage1 = Named(new kit::TFormStorage(this), "FormStorage1");
    FormStorage1->SetIniSection("Options");
    FormStorage1->SetOptions({});
    FormStorage1->SetActive(false);
    FormStorage1->SetStoredProps({"CopyToClipboardCheckBox.Checked", "SaveToFileCheckBox.Checked",
                                  "PlaySoundCheckBox.Checked", "SaveToFileEdit.Text", "CopyToTextBoxCheckBox.Checked",
                                  "AutoRunCheckBox.Checked", "RadioGroupFormat.ItemIndex",
                                  "RadioGroupEndOfLine.ItemIndex"});
    OnShow = [this](QObject*) { FormShow(); };
    OnCloseQuery = [this](QObject*, bool&) { FormCloseQuery(); };
    Loaded();
    FormCreate(SettingsFile);
}

void TOptionsForm::FormCreate(const QString& SettingsFile) {
    FormStorage1->SetIniFileName(SettingsFile);
    if (QFile::exists(SettingsFile)) {
        FormStorage1->LoadFormState();
    } else {
        FormStorage1->SaveFormState();
    }
    SaveToFileCheckBoxClick();
    CopyToTextBoxCheckBoxClick();
}

void TOptionsForm::done(int Result) {
    // The close query decides between save and reload by the result.
    setResult(Result);
    kit::TKitForm::done(Result);
}

void TOptionsForm::FormShow() {
    TranslateForm();
    FitToTexts();
}

void TOptionsForm::FitToTexts() {
    setFixedSize(FittedSize(*this, DesignSize));
    // Centred on the main window again, now that the size is known.
    adjustPosition(parentWidget());
}

void TOptionsForm::FormCloseQuery() {
    // Closing is never refused; a store error is shown and the controls keep
    // the values the user chose.
    try {
        if (result() == QDialog::Accepted) {
            FormStorage1->SaveFormState();
        } else {
            FormStorage1->LoadFormState();
        }
    } catch (const std::exception& Error) {
        FServices.ShowError(QString::fromUtf8(Error.what()));
    }
}

void TOptionsForm::TranslateForm() {
    setWindowTitle(Tr("Self", windowTitle()));
    OKButton->setText(Tr("OK", OKButton->text()));
    CancelButton->setText(Tr("Cancel", CancelButton->text()));
    CopyToClipboardCheckBox->setText(Tr("CopyToClipboard", CopyToClipboardCheckBox->text()));
    SaveToFileCheckBox->setText(Tr("SaveToFile", SaveToFileCheckBox->text()));
    PlaySoundCheckBox->setText(Tr("PlaySoundFile", PlaySoundCheckBox->text()));
    SaveDialog1.Filter = Tr("SaveDialogFilter", SaveDialog1.Filter);
    SaveDialog1.Title = Tr("SaveDialogTitle", SaveDialog1.Title);
    CopyToTextBoxCheckBox->setText(Tr("CopyToTextBox", CopyToTextBoxCheckBox->text()));
    TranslateItems(RadioGroupFormat, "Format",
                   {"RadioButton40bit", "RadioButton24bit", "RadioButton8plus16bit", "RadioButton40bitHex"});
    TranslateItems(RadioGroupEndOfLine, "EndOfLine",
                   {"RadioButtonNone", "RadioButtonTAB", "RadioButtonCR", "RadioButtonLF"});
    AutoRunCheckBox->setText(Tr("AutoRun", AutoRunCheckBox->text()));
}

void TOptionsForm::SaveToFileCheckBoxClick() {
    const bool enabled = SaveToFileCheckBox->isChecked();
    SaveToFileEdit->setEnabled(enabled);
    Button3->setEnabled(enabled);
}

void TOptionsForm::CopyToTextBoxCheckBoxClick() {
    const bool enabled = CopyToTextBoxCheckBox->isChecked();
    RadioGroupFormat->setEnabled(enabled);
    RadioGroupEndOfLine->setEnabled(enabled);
}

void TOptionsForm::Button3Click() {
    // The dialog opens in the current append file's folder. A relative name is
    // taken in the data folder, which holds the settings file.
    const QDir dataFolder = QFileInfo(FormStorage1->IniFileName()).absoluteDir();
    const QString current = SaveToFileEdit->text();
    SaveDialog1.InitialDir = current.trimmed().isEmpty()
                                 ? dataFolder.path()
                                 : QFileInfo(dataFolder.absoluteFilePath(current)).absolutePath();
    const QString fileName = FServices.AskSaveFileName(this, SaveDialog1);
    if (!fileName.isEmpty()) {
        SaveToFileEdit->setText(fileName);
    }
}

namespace {

const TOptionsForm& Form() {
    if (OptionsForm == nullptr) {
        throw kit::Exception("The options dialog does not exist");
    }
    return *OptionsForm;
}

}  // namespace

bool TOptions::AutoRun() { return Form().AutoRunCheckBox->isChecked(); }
bool TOptions::CopyToClipboard() { return Form().CopyToClipboardCheckBox->isChecked(); }
bool TOptions::CopyToTextBox() { return Form().CopyToTextBoxCheckBox->isChecked(); }
int TOptions::CodeFormat() { return Form().RadioGroupFormat->ItemIndex(); }
int TOptions::EndOfLine() { return Form().RadioGroupEndOfLine->ItemIndex(); }
bool TOptions::SaveToFile() { return Form().SaveToFileCheckBox->isChecked(); }
QString TOptions::FileName() { return Form().SaveToFileEdit->text(); }
bool TOptions::PlaySound() { return Form().PlaySoundCheckBox->isChecked(); }

}  // namespace app
