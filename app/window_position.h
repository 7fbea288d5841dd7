#pragma once

#include <QRect>
#include <QWidget>

namespace app {

// Moves a window that is about to be shown so that its centre is the centre
// of Area, kept inside the available area of the screen there (its top-left
// corner stays reachable).
void CentreWindow(QWidget& Window, const QRect& Area);

}  // namespace app
