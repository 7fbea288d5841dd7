#pragma once

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <functional>

namespace kit::testing {

// Runs the UI thread's event loop until Done holds; false if it never does
// within a generous safety limit (so a fault fails the test instead of hanging it).
inline bool PumpUntil(const std::function<bool()>& Done) {
    QElapsedTimer Limit;
    Limit.start();
    while (!Done()) {
        if (Limit.elapsed() > 10000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The bytes of an icon file holding one 16 x 16 picture of one colour.
inline QByteArray IconFileBytes(const QColor& Colour) {
    QImage Picture(16, 16, QImage::Format_ARGB32);
    Picture.fill(Colour);
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    QImageWriter Writer(&Buffer, "ico");
    Writer.write(Picture);
    return Bytes;
}

}  // namespace kit::testing
