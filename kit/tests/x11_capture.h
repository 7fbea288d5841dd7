#pragma once

#include <QRgb>

namespace kit::testing {

// The colour at (X, Y) of an X window as the server shows it, read through a
// connection of the caller's own (usable from any thread); 0 when unreadable.
QRgb CaptureWindowPixel(unsigned long Window, int X, int Y);

}  // namespace kit::testing
