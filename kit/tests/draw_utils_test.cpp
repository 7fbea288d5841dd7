#include "kit/draw_utils.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include "kit/kit_form.h"

namespace kit {
namespace {

QImage Filled(int Width, int Height, QColor Color) {
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Color);
    return image;
}

TEST(Colors, SystemColorsResolveThroughThePalette) {
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Active, QPalette::Button, QColor(10, 20, 30));
    const std::pair<TColor, TColor> cases[] = {
        {0xFF000005, 0x030201}, {0xFF00000F, 0x1E140A}, {0x00123456, 0x123456}, {clNone, clNone}, {0xFF0000FE, 0},
    };
    for (const auto& [color, rgb] : cases) {
        EXPECT_EQ(ColorToRGB(color, &palette), rgb) << std::hex << color;
    }
    EXPECT_EQ(PaletteRelativeColor(0xFF000005, &palette), 0x02030201U);
    EXPECT_EQ(ToQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(FromQColor(QColor(0, 0, 255)), 0xFF0000U);
}

TEST(DrawBitmapMasked, KeyColourDecidesWhatIsDrawn) {
    QImage bitmap = Filled(4, 4, Qt::red);
    bitmap.setPixelColor(0, 3, Qt::green);
    bitmap.setPixelColor(1, 1, Qt::green);
    struct TCase {
        TColor Key;
        QColor AtBottomLeft;
        QColor AtRed;
        QColor AtGreen;  // the other green pixel, (1, 1) of the bitmap
    };
    const TCase cases[] = {
        {clNone, Qt::green, Qt::red, Qt::green},
        {clDefault, Qt::white, Qt::red, Qt::white},
        {0x0000FF, Qt::green, Qt::white, Qt::green},
    };
    for (const TCase& c : cases) {
        QImage canvas = Filled(8, 8, Qt::white);
        QPainter painter(&canvas);
        QRecursiveMutex lock;
        DrawBitmapMasked(painter, 0, 0, 8, 8, bitmap, 0, 0, 0, 0, c.Key, &lock);
        painter.end();
        EXPECT_EQ(canvas.pixelColor(0, 7), c.AtBottomLeft) << std::hex << c.Key;
        EXPECT_EQ(canvas.pixelColor(6, 0), c.AtRed) << std::hex << c.Key;
        EXPECT_EQ(canvas.pixelColor(2, 2), c.AtGreen) << std::hex << c.Key;
    }
}

TEST(DrawBitmapMasked, SizesAndSourceRectangles) {
    QImage bitmap = Filled(4, 2, Qt::blue);
    bitmap.setPixelColor(3, 0, Qt::red);
    QImage canvas = Filled(10, 10, Qt::white);
    QPainter painter(&canvas);
    DrawBitmapMasked(painter, 1, 1, 0, 0, bitmap, 0, 0, 0, 0, clNone);
    DrawBitmapRectMasked(painter, 0, 5, 2, 2, {3, 0, 4, 1}, bitmap, clNone);
    painter.end();
    EXPECT_EQ(canvas.pixelColor(0, 0), Qt::white);
    EXPECT_EQ(canvas.pixelColor(1, 1), Qt::blue);
    EXPECT_EQ(canvas.pixelColor(4, 1), Qt::red);
    EXPECT_EQ(canvas.pixelColor(5, 1), Qt::white);
    EXPECT_EQ(canvas.pixelColor(1, 6), Qt::red);

    QImage mono(2, 1, QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mono.setPixel(0, 0, 0);
    mono.setPixel(1, 0, 1);
    QImage monoCanvas = Filled(2, 1, Qt::green);
    QPainter monoPainter(&monoCanvas);
    DrawBitmapMasked(monoPainter, 0, 0, 0, 0, mono, 0, 0, 0, 0, 0x0000FF);
    monoPainter.end();
    EXPECT_EQ(monoCanvas.pixelColor(0, 0), Qt::green);
    EXPECT_EQ(monoCanvas.pixelColor(1, 0), Qt::black);
}

QWidget* ColouredChild(QWidget* Parent, QRect Geometry, QColor Color) {
    auto* child = new QWidget(Parent);
    child->setGeometry(Geometry);
    child->setAutoFillBackground(true);
    QPalette palette = child->palette();
    palette.setColor(QPalette::Window, Color);
    child->setPalette(palette);
    return child;
}

TEST(PaintParentBackground, PaintsOnlyWhatLiesBelowTheControl) {
    QWidget parent;
    parent.resize(100, 100);
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, Qt::red);
    parent.setPalette(palette);
    ColouredChild(&parent, {0, 0, 30, 30}, Qt::blue);
    QWidget* control = ColouredChild(&parent, {20, 20, 40, 40}, Qt::yellow);
    ColouredChild(&parent, {50, 50, 30, 30}, Qt::green);
    parent.show();

    QImage canvas = Filled(40, 40, Qt::white);
    QPainter painter(&canvas);
    PaintParentBackground(control, painter);
    PaintParentBackground(nullptr, painter);
    painter.end();
    EXPECT_EQ(canvas.pixelColor(5, 5), Qt::blue);
    EXPECT_EQ(canvas.pixelColor(20, 20), Qt::red);
    EXPECT_EQ(canvas.pixelColor(35, 35), Qt::red);
}

TEST(BringWindowForward, RefusesDisabledAndHiddenWindowsAndRestoresMinimised) {
    QWidget window;
    EXPECT_FALSE(BringWindowForward(&window, true));
    EXPECT_TRUE(BringWindowForward(&window, false));
    window.setEnabled(false);
    EXPECT_FALSE(BringWindowForward(&window, false));
    window.setEnabled(true);
    window.showMinimized();
    EXPECT_TRUE(BringWindowForward(&window, true));
    EXPECT_FALSE(window.isMinimized());
    window.showMaximized();
    EXPECT_TRUE(BringWindowForward(&window, true));
    EXPECT_TRUE(window.isMaximized());
}

TEST(ReportNotImplemented, ShowsTheBoxAndAbortsSilently) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QString shown;
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            shown = box->findChild<QLabel*>("qt_msgbox_label")->text();
            box->close();
        }
    });
    closer.start(0);
    EXPECT_THROW(ReportNotImplemented(), EAbort);
    EXPECT_EQ(shown, "Function not yet implemented");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QStringList displayed;
    SetExceptionHandler([&](const QString& Message) { displayed << Message; });
    ApplicationShowException(EAbort());
    SetExceptionHandler({});
    EXPECT_TRUE(displayed.isEmpty());
}

}  // namespace
}  // namespace kit
