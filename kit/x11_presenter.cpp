#include "kit/x11_presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <mutex>

namespace kit {

namespace {

// Xlib's default error handler ends the process; a window that vanished
// under a worker's feet must only cost that worker one frame.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

TX11Presenter::TX11Presenter() {
    static std::once_flag Installed;
    std::call_once(Installed, [] { XSetErrorHandler(IgnoreXError); });
    FDisplay = XOpenDisplay(nullptr);
}

TX11Presenter::~TX11Presenter() {
    if (FDisplay != nullptr) {
        if (FGC != nullptr) {
            XFreeGC(FDisplay, FGC);
        }
        XCloseDisplay(FDisplay);
    }
}

bool TX11Presenter::Put(unsigned long Window, const QImage& Frame) {
    if (FDisplay == nullptr || !Prepare(Window)) {
        return false;
    }
    QImage Pixels = Frame.convertToFormat(QImage::Format_RGB32);
    XImage* Image = XCreateImage(FDisplay, static_cast<Visual*>(FVisual), FDepth, ZPixmap, 0,
                                 reinterpret_cast<char*>(Pixels.bits()), Pixels.width(), Pixels.height(), 32,
                                 static_cast<int>(Pixels.bytesPerLine()));
    if (Image == nullptr) {
        return false;
    }
    XPutImage(FDisplay, Window, FGC, Image, 0, 0, 0, 0, Pixels.width(), Pixels.height());
    Image->data = nullptr;  // the pixels belong to the QImage
    XDestroyImage(Image);
    XFlush(FDisplay);
    return true;
}

bool TX11Presenter::Prepare(unsigned long Window) {
    if (Window == FWindow) {
        return FVisual != nullptr;
    }
    FWindow = Window;
    FVisual = nullptr;
    XWindowAttributes Attributes;
    if (XGetWindowAttributes(FDisplay, Window, &Attributes) == 0) {
        return false;
    }
    Visual* Shown = Attributes.visual;
    if ((Attributes.depth != 24 && Attributes.depth != 32) || Shown->red_mask != 0xFF0000 ||
        Shown->green_mask != 0xFF00 || Shown->blue_mask != 0xFF) {
        return false;
    }
    if (FGC == nullptr) {
        FGC = XCreateGC(FDisplay, Window, 0, nullptr);
    }
    FVisual = Shown;
    FDepth = Attributes.depth;
    return true;
}

}  // namespace kit
