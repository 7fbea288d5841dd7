#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>

namespace kit::testing {

// Owns the one application object of a test program (widgets on the
// platform the test environment names) and ends it after the last test,
// before the program's static objects go.
class TAppEnvironment : public ::testing::Environment {
public:
    QApplication& App() {
        if (!FApp) {
            FApp = std::make_unique<QApplication>(FArgc, FArgv);
        }
        return *FApp;
    }
    void TearDown() override { FApp.reset(); }

private:
    int FArgc = 1;
    char FName[9] = "kit-test";
    char* FArgv[2] = {FName, nullptr};
    std::unique_ptr<QApplication> FApp;
};

inline TAppEnvironment* const AppEnvironment =
    static_cast<TAppEnvironment*>(::testing::AddGlobalTestEnvironment(new TAppEnvironment));

inline QApplication& TestApp() { return AppEnvironment->App(); }

// Runs the UI thread's event loop until Done holds; false if it never does
// within a generous safety limit (so a fault fails the test instead of hanging it).
inline bool PumpUntil(const std::function<bool()>& Done) {
    TestApp();
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

}  // namespace kit::testing

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

namespace kit::testing {

// The bytes of an icon file holding one 16 x 16 picture of one colour.
inline QByteArray IconFileBytes(const QColor& Colour) {
    TestApp();
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
