#include "app/window_position.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <algorithm>

namespace app {

void CentreWindow(QWidget& Window, const QRect& Area, QSize FrameExtra) {
    // The size it will be shown at: its layout may still widen it.
    if (QLayout* layout = Window.layout()) {
        layout->activate();
    }
    QRect placed(QPoint(), Window.isVisible() ? Window.frameGeometry().size() : Window.size() + FrameExtra);
    placed.moveCenter(Area.center());
    if (const QScreen* screen = QGuiApplication::screenAt(Area.center())) {
        const QRect available = screen->availableGeometry();
        placed.moveLeft(std::max(available.left(), std::min(placed.left(), available.right() + 1 - placed.width())));
        placed.moveTop(std::max(available.top(), std::min(placed.top(), available.bottom() + 1 - placed.height())));
    }
    Window.move(placed.topLeft());
}

}  // namespace app
