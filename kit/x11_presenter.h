#pragma once

#include <QImage>

struct _XDisplay;
struct _XGC;

namespace kit {

// Puts frames on a native X window through an X connection of its own, so
// that a worker thread can draw while the UI thread is busy. Only 24- and
// 32-bit true-colour windows are served; elsewhere Put reports failure. One
// thread uses a presenter at a time.
class TX11Presenter {
public:
    TX11Presenter();
    ~TX11Presenter();
    TX11Presenter(const TX11Presenter&) = delete;
    TX11Presenter& operator=(const TX11Presenter&) = delete;

    bool Put(unsigned long Window, const QImage& Frame);

private:
    bool Prepare(unsigned long Window);

    _XDisplay* FDisplay = nullptr;
    _XGC* FGC = nullptr;
    unsigned long FWindow = 0;
    void* FVisual = nullptr;  // the window's Visual
    int FDepth = 0;
};

}  // namespace kit
