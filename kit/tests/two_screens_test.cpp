// Window placement on a desktop of two screens side by side, 1920 x 1080 and
// 1280 x 1024 (the offscreen platform's screens from two_screens.json).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <ostream>

#include "kit/app_utils.h"
#include "kit/tests/temp_folder.h"

inline void PrintTo(const QRect& Rect, std::ostream* Stream) {
    *Stream << Rect.x() << ',' << Rect.y() << ' ' << Rect.width() << 'x' << Rect.height();
}

namespace kit {
namespace {

class TwoScreens : public ::testing::Test, protected testing::TTempFolder {};

TEST_F(TwoScreens, APlacementOnTheDesktopIsKeptAndATitleBarAboveTheScreensComesDown) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "run with the platform of two_screens.json";
    const struct {
        const char* Stored;
        QRect Expected;
    } cases[] = {
        {"100,100,2900,700", QRect(100, 100, 2800, 600)},    // over both screens
        {"0,0,3200,1080", QRect(0, 0, 3200, 1080)},          // all of the desktop, though the right screen is shorter
        {"-50,10,5000,3000", QRect(-50, 10, 3200, 1080)},    // partly off the desktop; no larger than the desktop
        {"100,-590,900,10", QRect(100, 0, 800, 600)},        // the title bar out of reach
        {"5000,100,7000,500", QRect(1200, 100, 2000, 400)},  // off every screen and wider than the nearest
    };
    TIniFile store(Path());
    QWidget form;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        store.WriteString("Main", "NormPos", c.Stored);
        form.setGeometry(0, 0, 10, 10);
        LoadWindowPlacement(&form, &store, "Main", false, true);
        EXPECT_EQ(form.geometry(), c.Expected);
    }
}

}  // namespace
}  // namespace kit
