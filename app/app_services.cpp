#include "app/app_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSystemTrayIcon>
#include <string>
#include <vector>

#include "reader/app_info_utils.h"
#include "reader/kev_utils.h"

namespace app {
namespace {

using TTexts = std::vector<std::string>;

QStringList ToQt(const TTexts& Texts) {
    QStringList list;
    for (const auto& text : Texts) {
        list << QString::fromStdString(text);
    }
    return list;
}

class TKevReaderService final : public TReaderService {
public:
    int ListReaders(QStringList& Serials, QStringList& Descriptions, QStringList& Ports) override {
        TTexts serials, descriptions, ports;
        // The readers listed reach the caller also when an error passes.
        const auto hand = qScopeGuard([&] {
            Serials = ToQt(serials);
            Descriptions = ToQt(descriptions);
            Ports = ToQt(ports);
        });
        return reader::TKevUtils::ListReaders(serials, descriptions, ports);
    }

    QString GetReaderInfo(const QString& Serial, const QString& Description) override {
        std::string info;
        reader::TKevUtils::GetReaderInfo(Serial.toStdString(), Description.toStdString(), info);
        return QString::fromStdString(info);
    }

    bool InitReader(const QString& Serial) override { return reader::TKevUtils::InitReader(Serial.toStdString()); }

    QString ReadCardCode(const QString& Serial, int TimeoutMs) override {
        std::string code;
        reader::TKevUtils::ReadCardCode(Serial.toStdString(), TimeoutMs, code);
        return QString::fromStdString(code);
    }

    bool ConvertCardCode(const QString& Code, QString& Full, QString& Code40, QString& Code24,
                         QString& Code8and16) override {
        std::string full, code40, code24, code8and16;
        const bool converted = reader::TKevUtils::ConvertCardCode(Code.toStdString(), full, code40, code24, code8and16);
        Full = QString::fromStdString(full);
        Code40 = QString::fromStdString(code40);
        Code24 = QString::fromStdString(code24);
        Code8and16 = QString::fromStdString(code8and16);
        return converted;
    }

    QString CardCodeToHex(const QString& DecimalCode, int Digits) override {
        std::string hex;
        reader::TKevUtils::CardCodeToHex(DecimalCode.toStdString(), Digits, hex);
        return QString::fromStdString(hex);
    }
};

}  // namespace

std::shared_ptr<TReaderService> KevReaderService() { return std::make_shared<TKevReaderService>(); }

QStringList NameFilters(const QString& Filter) {
    const QStringList parts = Filter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        QString description = parts[i];
        if (pattern.isEmpty()) {
            filters << description;
            continue;
        }
        // The description often shows the pattern already: "CSV files(*.csv)".
        if (const QString shown = "(" + pattern + ")"; description.trimmed().endsWith(shown)) {
            description = description.trimmed().chopped(shown.size()).trimmed();
        }
        filters << description + " (" + QString(pattern).replace(';', ' ') + ")";
    }
    return filters;
}

TAppServices DefaultServices() {
    TAppServices services;
    services.ShowError = [](const QString& Message) {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), Message);
    };
    services.AskYesNo = [](const QString& Question) {
        return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationName(), Question,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    services.ExecModal = [](QDialog& Dialog) { return Dialog.exec(); };
    services.AskSaveFileName = [](QWidget* Parent, const TSaveDialog& Dialog) {
        QFileDialog dialog(Parent, Dialog.Title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(NameFilters(Dialog.Filter));
        dialog.setDefaultSuffix(Dialog.DefaultExt);
        if (!Dialog.InitialDir.isEmpty()) {
            dialog.setDirectory(Dialog.InitialDir);
        }
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                       : QString();
    };
    services.Beep = [] { QApplication::beep(); };
    services.SetClipboardText = [](const QString& Text) { QApplication::clipboard()->setText(Text); };
    services.OpenUrl = [](const QUrl& Address) { return QDesktopServices::openUrl(Address); };
    services.AppVersion = [] {
        std::string version;
        reader::TAppInfoUtils::GetAppVersion(version);
        return QString::fromStdString(version);
    };
    services.Readers = KevReaderService();
    services.OpenKeySink = [] { return platform::OpenSystemKeySink(); };
    services.OpenTrayBackend = [] { return kit::MakeSystemTrayBackend(); };
    services.TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return services;
}

}  // namespace app
