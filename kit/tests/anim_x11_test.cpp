// Tests against a real X server (run under Xvfb): the tray icon in a tray
// host, and the busy strip moving while the UI thread is blocked.
#include <gtest/gtest.h>

#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "kit/gif_animator.h"
#include "kit/testing/fake_frame_source.h"
#include "kit/tests/anim_test_support.h"
#include "kit/tests/x11_capture.h"
#include "kit/tray_icon.h"

// Read by the leak checker of the sanitizer builds: the D-Bus library that
// Qt's X11 platform loads keeps a buffer until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace kit {
namespace {

using testing::PumpUntil;

class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "no X server";
        }
    }
};

TEST_F(X11Test, TrayIconEmbedsInATrayHostAndARightClickShowsTheMenu) {
    QProcess Host;
    Host.start("trayer", {"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "200", "--heighttype",
                          "pixel", "--height", "32", "--SetDockType", "false"});
    ASSERT_TRUE(Host.waitForStarted());
    ASSERT_TRUE(PumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
    QMenu Menu;
    Menu.addAction("Open Zintareko program");
    TTrayIcon Icon;
    TIcon Red;
    Red.LoadFromBytes(testing::IconFileBytes(Qt::red));
    Icon.SetPopupMenu(&Menu);
    Icon.SetHint("Talvo Zintareko");
    Icon.SetIcon(Red);
    ASSERT_TRUE(Icon.Added());
    ASSERT_TRUE(PumpUntil([&] { return Icon.Geometry().width() > 0 && Icon.Geometry().x() < 200; }));
    // Let the host finish embedding and mapping the icon.
    QElapsedTimer Settle;
    Settle.start();
    PumpUntil([&] { return Settle.elapsed() > 500; });
    const QPoint Centre = Icon.Geometry().center();
    // A right click as a user makes it: move there, press, release.
    QProcess::execute("xdotool", {"mousemove", QString::number(Centre.x()), QString::number(Centre.y()), "sleep", "0.2",
                                  "mousedown", "3", "sleep", "0.1", "mouseup", "3"});
    EXPECT_TRUE(PumpUntil([&] { return Menu.isVisible(); }));
    Menu.hide();
    Host.kill();
    Host.waitForFinished();
}

TEST_F(X11Test, StripKeepsMovingWhileTheUiThreadIsBlocked) {
    auto Source = std::make_unique<testing::TFakeFrameSource>();
    Source->Logical = QSize(60, 1);
    for (int Frame = 0; Frame < 200; ++Frame) {
        Source->AddFrame({0, 0}, {60, 1}, qRgb(Frame, 255 - Frame, (Frame * 7) % 256), 0, 50);
    }
    QWidget Window;
    Window.resize(200, 40);
    auto* Strip = new TGIFAnimator(&Window);
    Strip->SetAutoSize(false);
    Strip->SetStretch(true);
    Strip->SetImage(std::move(Source));
    Strip->setGeometry(0, 0, 200, 20);
    Strip->SetAsyncDrawing(true);
    Window.show();
    Strip->SetAnimate(true);
    ASSERT_TRUE(PumpUntil([&] { return Strip->FrameIndex() >= 3; }));
    const unsigned long StripWindow = Strip->winId();

    QRgb First = 0;
    QRgb Second = 0;
    std::thread Capture([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        First = testing::CaptureWindowPixel(StripWindow, 100, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Second = testing::CaptureWindowPixel(StripWindow, 100, 10);
    });
    // The UI thread is busy (as in a reader request) and serves no event.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    Capture.join();
    EXPECT_NE(First, 0u);
    EXPECT_NE(First, Second);
    Strip->SetAnimate(false);
}

}  // namespace
}  // namespace kit
