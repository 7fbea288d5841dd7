#include "app/window_position.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <algorithm>

namespace app {
namespace {

// Brings the window to the size it will be shown at: its layout may still
// widen it.
void ApplyLayout(QWidget& Window) {
    if (QLayout* layout = Window.layout()) {
        layout->activate();
    }
}

// Moves the window's frame to Placed, kept inside the available area of the
// screen there (its top-left corner stays reachable).
void MoveOntoScreen(QWidget& Window, QRect Placed) {
    if (const QScreen* screen = QGuiApplication::screenAt(Placed.center())) {
        const QRect available = screen->availableGeometry();
        Placed.moveLeft(std::max(available.left(), std::min(Placed.left(), available.right() + 1 - Placed.width())));
        Placed.moveTop(std::max(available.top(), std::min(Placed.top(), available.bottom() + 1 - Placed.height())));
    }
    Window.move(Placed.topLeft());
}

}  // namespace

void CentreWindow(QWidget& Window, const QRect& Area, QSize FrameExtra) {
    ApplyLayout(Window);
    QRect placed(QPoint(), Window.isVisible() ? Window.frameGeometry().size() : Window.size() + FrameExtra);
    placed.moveCenter(Area.center());
    MoveOntoScreen(Window, placed);
}

QSize FittedSize(QWidget& Window, QSize Design) {
    ApplyLayout(Window);
    const QSize wanted = Design.expandedTo(Window.sizeHint());
    const QScreen* screen = Window.screen();
    if (screen == nullptr) {
        return wanted;
    }
    const QSize frame = Window.frameGeometry().size() - Window.size();
    return wanted.boundedTo(screen->availableGeometry().size() - frame);
}

void FitToTexts(QWidget& Window, QSize Design) {
    const QSize fitted = FittedSize(Window, Design);
    const QSize growth = fitted - Window.size();
    Window.resize(fitted);
    // Grown alike on every side.
    const QPoint topLeft = Window.pos() - QPoint(growth.width() / 2, growth.height() / 2);
    MoveOntoScreen(Window, QRect(topLeft, Window.frameGeometry().size()));
}

}  // namespace app
