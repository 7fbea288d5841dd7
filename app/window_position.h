#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

namespace app {

// Moves a window that is about to be shown so that the centre of its frame is
// the centre of Area, kept inside the available area of the screen there (its
// top-left corner stays reachable). Before its first showing a window's frame
// is unknown: FrameExtra, what the frame adds to the size, stands for it (that
// of another window of the same desktop).
void CentreWindow(QWidget& Window, const QRect& Area, QSize FrameExtra = {});

// The size a dialog is shown at: its design size, or more where its texts
// need it, but no larger than the available area of its screen; texts that
// do not fit then are cut (kit/elided_controls.h).
QSize FittedSize(QWidget& Window, QSize Design);
// Gives a window that is being shown its fitted size, its centre staying
// where it was.
void FitToTexts(QWidget& Window, QSize Design);

}  // namespace app
