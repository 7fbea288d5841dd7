#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "app/app_paths.h"
#include "app/app_services.h"

namespace app {

// The modal language selector: lists the installed languages (the folders
// under the "Language" folder) and installs the chosen one by copying every
// file of its folder next to the program. Created for one showing.
class TSelectLangForm : public QDialog {
    Q_OBJECT

public:
    TSelectLangForm(const TAppPaths& Paths, TAppServices& Services, QWidget* Parent = nullptr);

    QLabel* LabelSelectLanguage;
    QComboBox* outLangBox;
    QPushButton* Button1;
    QPushButton* Button2;

    void TranslateForm();
    // Installs the chosen language after the user confirms it; closes with OK
    // once anything was tried, failures reported.
    void Button1Click();
    // Copies FileName from the language's folder next to the program,
    // replacing a file of that name (a read-only one too). The copy goes to a
    // temporary file that is renamed into place, so a failed copy never
    // leaves a half-written or missing target.
    bool InstallIni(const QString& FileName, const QString& Lang);

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void FormCreate();
    void FormShow();
    void outLangBoxChange();

    const TAppPaths& FPaths;
    TAppServices& FServices;
    QString FLanguageFolder;
};

}  // namespace app
