#include "kit/tests/x11_capture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kit::testing {

QRgb CaptureWindowPixel(unsigned long Window, int X, int Y) {
    Display* Connection = XOpenDisplay(nullptr);
    if (Connection == nullptr) {
        return 0;
    }
    QRgb Pixel = 0;
    if (XImage* Image = XGetImage(Connection, Window, X, Y, 1, 1, AllPlanes, ZPixmap)) {
        Pixel = static_cast<QRgb>(XGetPixel(Image, 0, 0)) & 0xFFFFFFu;
        XDestroyImage(Image);
    }
    XCloseDisplay(Connection);
    return Pixel;
}

}  // namespace kit::testing
