#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "app/app_services.h"

namespace app {

// The modal about box: program icon, product name, version and copyright.
// Created for one showing; every showing translates its texts and shows the
// version once.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(TAppServices& Services, QWidget* Parent = nullptr);

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QPushButton* OKButton;

    void TranslateForm();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void FormShow();

    TAppServices& FServices;
};

}  // namespace app
