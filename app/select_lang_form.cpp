#include "app/select_lang_form.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/localization.h"
#include "app/named.h"
#include "app/window_position.h"
#include "kit/elided_controls.h"
#include "kit/system_files.h"

namespace app {
namespace {

constexpr const char* Section = "SelectLangForm";

// The client area the selector is designed with; translated texts may need more.
const QSize DesignSize(305, 124);

QString Tr(const char* Key, const QString& Current) { return TLocalization::Translate(Section, Key, Current); }

// The selector's messages; each translation becomes the default of the next.
struct TMessages {
    QString NoLanguageSelected = "No language selected";
    QString SelectQuestion = "Select: %s?";
    QString CopyError = "Copy error";
    QString NoFilesInDirectory = "No files in Language\\%s directory";
    QString SelectLanguage = "<Select Language>";
};

TMessages& Messages() {
    static TMessages messages;
    return messages;
}

// Entries of Folder that are not hidden, in the file system's order.
QStringList VisibleEntries(const QString& Folder, QDir::Filters Kind) {
    return QDir(Folder).entryList(Kind | QDir::NoDotAndDotDot, QDir::Unsorted);
}

}  // namespace

TSelectLangForm::TSelectLangForm(const TAppPaths& Paths, TAppServices& Services, QWidget* Parent)
    : QDialog(Parent), FPaths(Paths), FServices(Services) {
    setObjectName("SelectLangForm");
    setWindowTitle("Language selector");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    LabelSelectLanguage = Named(new kit::TElidedLabel("Select language:", this), "LabelSelectLanguage");
    outLangBox = Named(new QComboBox(this), "outLangBox");
    outLangBox->addItem("<Select Language>");
    LabelSelectLanguage->setBuddy(outLangBox);
    Button1 = Named(new kit::TElidedPushButton("OK", this), "Button1");
    Button1->setEnabled(false);
    Button2 = Named(new kit::TElidedPushButton("Cancel", this), "Button2");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelSelectLanguage);
    layout->addWidget(outLangBox);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(DesignSize);

    connect(outLangBox, &QComboBox::currentIndexChanged, this, [this] { outLangBoxChange(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TSelectLangForm::FormCreate() {
    FLanguageFolder = FPaths.LanguageFolder();
    if (!FLanguageFolder.isEmpty()) {
        outLangBox->addItems(VisibleEntries(FLanguageFolder, QDir::Dirs));
    }
    outLangBox->setCurrentIndex(0);
}

void TSelectLangForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    FormShow();
}

void TSelectLangForm::FormShow() {
    TranslateForm();
    outLangBox->setItemText(0, Messages().SelectLanguage);
    outLangBox->setCurrentIndex(0);
    FitToTexts(*this, DesignSize);
}

void TSelectLangForm::TranslateForm() {
    setWindowTitle(Tr("Self", windowTitle()));
    LabelSelectLanguage->setText(Tr("LabelSelectLanguage", LabelSelectLanguage->text()));
    Button1->setText(Tr("OK", Button1->text()));
    Button2->setText(Tr("Cancel", Button2->text()));
    TMessages& messages = Messages();
    messages.NoLanguageSelected = Tr("NoLanguageSelected", messages.NoLanguageSelected);
    messages.SelectQuestion = Tr("SelectQuestion", messages.SelectQuestion);
    messages.CopyError = Tr("CopyError", messages.CopyError);
    messages.NoFilesInDirectory = Tr("NoFilesInDirectory", messages.NoFilesInDirectory);
    messages.SelectLanguage = Tr("SelectLanguage", messages.SelectLanguage);
}

void TSelectLangForm::outLangBoxChange() { Button1->setEnabled(outLangBox->currentIndex() > 0); }

void TSelectLangForm::Button1Click() {
    const QString lang = outLangBox->currentText();
    const TMessages& messages = Messages();
    if (lang.isEmpty() || lang.startsWith('<')) {
        FServices.ShowError(messages.NoLanguageSelected);
        return;
    }
    if (!FServices.AskYesNo(ReplacePlaceholder(messages.SelectQuestion, lang))) {
        return;
    }
    QString report;
    bool failed = false;
    const QStringList files = VisibleEntries(QDir(FLanguageFolder).filePath(lang), QDir::Files);
    for (const QString& name : files) {
        report += name + "    - ";
        if (InstallIni(name, lang)) {
            report += "OK\n\n";
        } else {
            report += messages.CopyError + "\n\n";
            failed = true;
        }
    }
    if (files.isEmpty()) {
        report = ReplacePlaceholder(messages.NoFilesInDirectory, lang);
        failed = true;
    }
    if (failed) {
        FServices.ShowError(report);
    }
    done(QDialog::Accepted);
}

bool TSelectLangForm::InstallIni(const QString& FileName, const QString& Lang) {
    QFile source(QDir(FLanguageFolder).filePath(Lang + "/" + FileName));
    if (!source.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        return false;
    }
    // Replaced whole or not at all, as a copy over it would: a write-protected
    // file too, and a link itself, never the file it names (which may be
    // another language's own).
    const QString target = QDir(FPaths.DataFolder).filePath(FileName);
    return kit::ReplaceFile(target, bytes, platform::ReplaceMode::Entry) == 0;
}

}  // namespace app
