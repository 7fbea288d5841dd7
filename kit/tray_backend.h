#pragma once

#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QString>
#include <Qt>
#include <functional>
#include <memory>

class QMenu;

namespace kit {

// Mouse messages that the notification area reports for an icon.
enum class TTrayMessage : unsigned {
    MouseMove = 0x0200,
    LeftDown = 0x0201,
    LeftUp = 0x0202,
    LeftDouble = 0x0203,
    RightDown = 0x0204,
    RightUp = 0x0205,
    RightDouble = 0x0206,
    MiddleDown = 0x0207,
    MiddleUp = 0x0208,
    MiddleDouble = 0x0209,
};

// What the notification area shows for the icon.
struct TNotifyRecord {
    QIcon Icon;
    QString Tip;
};

// The notification area as the tray icon component sees it. The system one
// sits on the desktop's tray; tests use a fake.
class TTrayBackend {
public:
    virtual ~TTrayBackend() = default;
    // Puts the icon into the notification area; false when that failed.
    virtual bool Add(const TNotifyRecord& Record) = 0;
    virtual bool Modify(const TNotifyRecord& Record) = 0;
    virtual void Delete() = 0;
    // Pops Menu up at At (screen coordinates); false when it could not be shown.
    virtual bool PopupMenu(QMenu& Menu, const QPoint& At) = 0;
    // Where the icon sits on the screen (empty when it is not shown).
    virtual QRect Geometry() const = 0;
    virtual QPoint CursorPos() const = 0;
    virtual Qt::KeyboardModifiers KeyboardState() const = 0;

    // Receives the icon's mouse messages; set by the component.
    std::function<void(TTrayMessage)> OnMessage;

protected:
    void Send(TTrayMessage Message) const {
        if (OnMessage) {
            OnMessage(Message);
        }
    }
};

// The desktop's notification area. Where there is none (no tray host, the
// offscreen platform) adding the icon fails and nothing else happens.
std::unique_ptr<TTrayBackend> MakeSystemTrayBackend();

}  // namespace kit
