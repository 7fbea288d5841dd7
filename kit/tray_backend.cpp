#include "kit/tray_backend.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace kit {

namespace {

class TSystemTrayBackend : public TTrayBackend {
public:
    TSystemTrayBackend() {
        QObject::connect(&FTray, &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason Reason) { Activated(Reason); });
    }

    bool Add(const TNotifyRecord& Record) override {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            return false;
        }
        Apply(Record);
        FTray.show();
        return FTray.isVisible();
    }

    bool Modify(const TNotifyRecord& Record) override {
        Apply(Record);
        return FTray.isVisible();
    }

    void Delete() override { FTray.hide(); }

    bool PopupMenu(QMenu& Menu, const QPoint& At) override {
        Menu.popup(At);
        return Menu.isVisible();
    }

    QRect Geometry() const override { return FTray.isVisible() ? FTray.geometry() : QRect(); }

    QPoint CursorPos() const override { return QCursor::pos(); }

    Qt::KeyboardModifiers KeyboardState() const override { return QGuiApplication::queryKeyboardModifiers(); }

private:
    void Apply(const TNotifyRecord& Record) {
        FTray.setIcon(Record.Icon);
        FTray.setToolTip(Record.Tip);
    }

    // The tray reports whole clicks; they are passed on as the button's
    // down and up messages, a double click as the double message.
    void Activated(QSystemTrayIcon::ActivationReason Reason) {
        switch (Reason) {
            case QSystemTrayIcon::Trigger:
                Send(TTrayMessage::LeftDown);
                Send(TTrayMessage::LeftUp);
                break;
            case QSystemTrayIcon::Context:
                Send(TTrayMessage::RightDown);
                Send(TTrayMessage::RightUp);
                break;
            case QSystemTrayIcon::DoubleClick:
                Send(TTrayMessage::LeftDouble);
                break;
            case QSystemTrayIcon::MiddleClick:
                Send(TTrayMessage::MiddleDown);
                Send(TTrayMessage::MiddleUp);
                break;
            case QSystemTrayIcon::Unknown:
                break;
        }
    }

    QSystemTrayIcon FTray;
};

}  // namespace

std::unique_ptr<TTrayBackend> MakeSystemTrayBackend() { return std::make_unique<TSystemTrayBackend>(); }

}  // namespace kit
