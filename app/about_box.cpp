#include "app/about_box.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "app/localization.h"
#include "app/named.h"
#include "app/window_position.h"
#include "kit/elided_controls.h"
#include "reader/app_info_utils.h"

namespace app {
namespace {

constexpr const char* Section = "About";

// The client area the box is designed with; translated texts may need more.
const QSize DesignSize(298, 191);

QString Tr(const char* Key, const QString& Current) { return TLocalization::Translate(Section, Key, Current); }

QLabel* BoldLabel(const QString& Text, QWidget* Parent) {
    auto* label = new kit::TElidedLabel(Text, Parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

}  // namespace

TAboutBox::TAboutBox(TAppServices& Services, QWidget* Parent) : QDialog(Parent), FServices(Services) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgramIcon = Named(new QLabel(panel), "ProgramIcon");
    ProgramIcon->setPixmap(AppIcon().pixmap(32, 32));
    ProductName = Named(BoldLabel("Talvo Zintareko", panel), "ProductName");
    Version = Named(BoldLabel("Version", panel), "Version");
    Copyright = Named(new kit::TElidedLabel("Copyright (C) 2026 Talvo", panel), "Copyright");
    OKButton = Named(new kit::TElidedPushButton("OK", this), "OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    texts->addWidget(Copyright);
    texts->addStretch(1);
    auto* inner = new QHBoxLayout(panel);
    inner->addWidget(ProgramIcon, 0, Qt::AlignTop);
    inner->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    resize(DesignSize);
}

void TAboutBox::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    FormShow();
}

void TAboutBox::TranslateForm() {
    setWindowTitle(Tr("Self", windowTitle()));
    ProductName->setText(Tr("ProductName", ProductName->text()));
    Copyright->setText(Tr("Copyright", Copyright->text()));
    OKButton->setText(Tr("OK", OKButton->text()));
}

void TAboutBox::FormShow() {
    TranslateForm();
    // The lead word's default is the design text, so a second showing does not
    // repeat the version; only the version's last group is padded, so a word
    // with a "." in it stays as it is.
    const QString version = FServices.AppVersion();
    std::string padded;
    if (!version.isEmpty()) {
        reader::TAppInfoUtils::PadBuildNumber(version.toStdString(), padded);
    }
    Version->setText(Tr("Version", "Version") + " " + QString::fromStdString(padded));
    FitToTexts(*this, DesignSize);
}

}  // namespace app
