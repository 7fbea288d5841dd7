#include "kit/gif_animator.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QThread>
#include <QWidget>

#include "kit/gif_frame_source.h"
#include "kit/testing/fake_frame_source.h"
#include "kit/testing/fake_timer_waiter.h"
#include "kit/tests/anim_test_support.h"

namespace kit {
namespace {

using testing::PumpUntil;
using testing::TFakeFrameSource;

constexpr QRgb Key = 0xFFFF00FF;

// A picture of Count full-screen frames of distinct colours, Delay ms each.
std::unique_ptr<TFakeFrameSource> Strip(int Count, unsigned Delay) {
    auto Source = std::make_unique<TFakeFrameSource>();
    for (int Index = 0; Index < Count; ++Index) {
        Source->AddFrame({0, 0}, {8, 4}, qRgb(20 * Index, 100, 200), 0, Delay);
    }
    return Source;
}

class GifAnimatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        Window = std::make_unique<QWidget>();
        Animator = new TGIFAnimator(Window.get(), Waiter);
        Window->show();
    }

    // Starts an animation on the timer's thread over Source.
    void StartAsync(std::unique_ptr<TFakeFrameSource> Source) {
        Animator->SetImage(std::move(Source));
        Animator->SetAsyncDrawing(true);
        Animator->SetAnimate(true);
    }

    // Lets one wait of the timer pass and waits for the next one to begin.
    void Step() {
        const std::size_t Waits = Waiter.Intervals().size();
        Waiter.Elapse();
        ASSERT_TRUE(Waiter.WaitForWaits(Waits + 1));
    }

    testing::TFakeTimerWaiter Waiter;
    std::unique_ptr<QWidget> Window;
    TGIFAnimator* Animator = nullptr;
};

TEST_F(GifAnimatorTest, FrameDelayIsClampedAndZeroForASingleFrame) {
    const std::pair<unsigned, unsigned> Cases[] = {{60, 60}, {10, 50}, {0, 50}, {20000, 10000}, {10000, 10000}};
    for (const auto& [Delay, Expected] : Cases) {
        Animator->SetImage(Strip(2, Delay));
        EXPECT_EQ(Animator->CurrentFrameDelay(), Expected) << Delay;
    }
    Animator->SetImage(Strip(1, 60));
    EXPECT_EQ(Animator->CurrentFrameDelay(), 0u);
    Animator->StepFrame();
    EXPECT_EQ(Animator->FrameIndex(), 0);
}

TEST_F(GifAnimatorTest, StepsOnTheTimerThreadAtEachFramesDelayAndLoops) {
    auto Source = Strip(3, 60);
    Source->Frames[1].Info.DelayMs = 20;
    StartAsync(std::move(Source));
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    std::vector<int> Shown;
    for (int Tick = 0; Tick < 4; ++Tick) {
        Step();
        Shown.push_back(Animator->FrameIndex());
    }
    EXPECT_EQ(Shown, (std::vector<int>{1, 2, 0, 1}));
    const auto Intervals = Waiter.Intervals();
    EXPECT_EQ(Intervals[0].count(), 60);
    EXPECT_EQ(Intervals[1].count(), 50);
    EXPECT_EQ(Intervals[2].count(), 60);
    EXPECT_TRUE(Animator->Animate());
}

TEST_F(GifAnimatorTest, RunWithoutLoopShowsEveryFrameOnceAndStopsOnTheUiThread) {
    QThread* StopThread = nullptr;
    int Stops = 0;
    Animator->OnStop = [&](QObject*) {
        ++Stops;
        StopThread = QThread::currentThread();
    };
    Animator->SetLoop(false);
    StartAsync(Strip(3, 60));
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    Step();
    Step();
    EXPECT_EQ(Animator->FrameIndex(), 2);
    Waiter.Elapse();
    ASSERT_TRUE(PumpUntil([&] { return Stops == 1; }));
    EXPECT_EQ(StopThread, QCoreApplication::instance()->thread());
    EXPECT_FALSE(Animator->Animate());
    EXPECT_EQ(Animator->FrameIndex(), 0);
}

TEST_F(GifAnimatorTest, StoppingKeepsTheFrameAndStartingContinuesFromIt) {
    StartAsync(Strip(4, 60));
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    Step();
    Step();
    Animator->SetAnimate(false);
    EXPECT_EQ(Animator->FrameIndex(), 2);
    // The restarted worker may not be waiting yet: the elapsed wait is kept
    // for it, so look for the step rather than expecting it at once.
    Animator->SetAnimate(true);
    // The worker may or may not have begun a fresh wait for the restart, so
    // count steps, not waits: one elapsed wait moves on exactly one frame.
    Waiter.Elapse();
    EXPECT_TRUE(PumpUntil([&] { return Animator->FrameIndex() != 2; }));
    EXPECT_EQ(Animator->FrameIndex(), 3);
}

TEST_F(GifAnimatorTest, HiddenAnimatorDoesNotStepWhileItsTimerKeepsWaking) {
    StartAsync(Strip(3, 60));
    Window->hide();
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    Step();
    Step();
    EXPECT_EQ(Animator->FrameIndex(), 0);
    EXPECT_TRUE(Animator->Animate());
}

TEST_F(GifAnimatorTest, FrameIndexOutsideTheFramesIsIgnored) {
    Animator->SetImage(Strip(3, 60));
    int Changes = 0;
    Animator->OnFrameChanged = [&](QObject*) { ++Changes; };
    for (const int Ignored : {-1, 3, 7, 0}) {
        Animator->SetFrameIndex(Ignored);
        EXPECT_EQ(Animator->FrameIndex(), 0);
    }
    Animator->SetFrameIndex(2);
    EXPECT_EQ(Animator->FrameIndex(), 2);
    EXPECT_EQ(Changes, 1);
}

TEST_F(GifAnimatorTest, UiThreadSettersAndPaintsWorkWhileAStepWaitsForTheUiThread) {
    int Changes = 0;
    Animator->OnFrameChanged = [&](QObject*) {
        // Runs on the UI thread while the step on the timer thread waits for it.
        Animator->SetStretch(!Animator->Stretch());
        Animator->SetCenter(!Animator->Center());
        Animator->Snapshot();
        ++Changes;
    };
    StartAsync(Strip(3, 60));
    ASSERT_TRUE(Waiter.WaitForWaits(1));
    Waiter.Elapse();
    ASSERT_TRUE(PumpUntil([&] { return Changes == 1; }));
    ASSERT_TRUE(Waiter.WaitForWaits(2));
}

// Frame Index as a plain player shows it, worked out pixel by pixel from the
// frames' own pictures: every frame's pixels other than its key colour are
// copied onto the canvas in turn, and each frame before Index is then
// disposed of as its disposal method says (2: its place back to Background,
// 3: the canvas as it was before the frame).
QImage Reference(const TFakeFrameSource& Frames, int Index, QRgb Background) {
    QImage Canvas(Frames.Logical, QImage::Format_ARGB32);
    Canvas.fill(Background);
    for (int Frame = 0; Frame <= Index; ++Frame) {
        const TFakeFrameSource::TFakeFrame& Shown = Frames.Frames.at(Frame);
        const QImage Before = Canvas.copy();
        const QRect Place = QRect(Shown.Info.Origin, Shown.Picture.size()) & Canvas.rect();
        for (int Y = Place.top(); Y <= Place.bottom(); ++Y) {
            for (int X = Place.left(); X <= Place.right(); ++X) {
                const QRgb Pixel = Shown.Picture.pixel(X - Shown.Info.Origin.x(), Y - Shown.Info.Origin.y());
                if (Pixel != Shown.Info.TransparentKey) {
                    Canvas.setPixel(X, Y, Pixel);
                }
            }
        }
        if (Frame == Index) {
            break;
        }
        if (Shown.Info.DisposalMode == 2) {
            for (int Y = Place.top(); Y <= Place.bottom(); ++Y) {
                for (int X = Place.left(); X <= Place.right(); ++X) {
                    Canvas.setPixel(X, Y, Background);
                }
            }
        } else if (Shown.Info.DisposalMode == 3) {
            Canvas = Before;
        }
    }
    return Canvas;
}

std::unique_ptr<TFakeFrameSource> MixedDisposals() {
    auto Source = std::make_unique<TFakeFrameSource>();
    Source->AddFrame({0, 0}, {8, 4}, 0xFFFF0000, 1)
        .AddFrame({2, 1}, {4, 2}, 0xFF00FF00, 2, 100, Key)
        .AddFrame({0, 0}, {3, 3}, 0xFF0000FF, 3)
        .AddFrame({0, 0}, {8, 4}, 0xFF808080, 0, 100, Key)
        .AddFrame({6, 2}, {2, 2}, 0xFFFFFF00, 2)
        .AddFrame({0, 0}, {8, 4}, 0xFF00FFFF, 3)
        .AddFrame({1, 1}, {2, 2}, 0xFF102030, 1, 100, Key)
        .AddFrame({0, 0}, {8, 4}, 0xFF405060, 2)
        .AddFrame({5, 0}, {3, 1}, 0xFFFFFFFF, 0);
    Source->Active = 1;  // a frame with a key colour: the key is the background
    return Source;
}

// Composes every frame in turn on one animator (each step reusing the one
// before) and from scratch on a fresh one, and compares both with the
// reference worked out from Frames.
void ExpectStepwiseAndFullEqualTheReference(TGIFAnimator& Animator, const TFakeFrameSource& Frames,
                                            const std::function<std::unique_ptr<TFrameSource>()>& Fresh,
                                            testing::TFakeTimerWaiter& Waiter) {
    for (int Index = 0; Index < Frames.FrameCount(); ++Index) {
        SCOPED_TRACE(Index);
        const QImage Expected = Reference(Frames, Index, Key);
        std::optional<QRgb> StepKey;
        EXPECT_EQ(Animator.ComposeFrameBitmap(Index, StepKey).convertToFormat(QImage::Format_ARGB32), Expected);
        TGIFAnimator Scratch(nullptr, Waiter);
        Scratch.SetImage(Fresh());
        std::optional<QRgb> FullKey;
        EXPECT_EQ(Scratch.ComposeFrameBitmap(Index, FullKey).convertToFormat(QImage::Format_ARGB32), Expected);
        EXPECT_EQ(StepKey, std::optional<QRgb>(Key));
        EXPECT_EQ(FullKey, StepKey);
    }
}

// The frames of Frames as a GIF file, read back.
std::unique_ptr<TGIFFrameSource> AsGif(std::unique_ptr<TFakeFrameSource> Frames) {
    TGIFImage Written;
    for (const TFakeFrameSource::TFakeFrame& Frame : Frames->Frames) {
        TBitmap Bitmap(Frame.Picture.convertToFormat(QImage::Format_RGB32));
        TGIFFrame& Added = *Written.FrameAt(Written.AppendFrame(&Bitmap));
        Added.SetOrigin(Frame.Info.Origin);
        Added.SetDisposalMode(Frame.Info.DisposalMode);
        Added.SetDelayMs(Frame.Info.DelayMs);
        if (Frame.Info.TransparentKey) {
            Added.SetTransparentKey(FromQColor(QColor::fromRgb(*Frame.Info.TransparentKey)));
        }
    }
    Written.RecalcLogicalSize();
    Written.SetActiveFrameIndex(Frames->Active);
    auto Read = std::make_unique<TGIFFrameSource>();
    Read->Image().ParseGif(Written.EmitGif(false), true);
    Read->Image().SetActiveFrameIndex(Frames->Active);
    return Read;
}

std::unique_ptr<TGIFFrameSource> MixedDisposalsGif() { return AsGif(MixedDisposals()); }

TEST_F(GifAnimatorTest, StepByStepAndFullCompositionOfAGifEqualTheReferenceForEveryFrame) {
    auto Owned = MixedDisposalsGif();
    TGIFFrameSource& Source = *Owned;
    ASSERT_EQ(Source.FrameCount(), 9);
    ASSERT_EQ(Source.LogicalSize(), QSize(8, 4));
    ASSERT_EQ(Source.Frame(1).TransparentKey, std::optional<QRgb>(Key));
    ASSERT_EQ(Source.Frame(5).DisposalMode, 3);
    Animator->SetImage(std::move(Owned));
    ExpectStepwiseAndFullEqualTheReference(
        *Animator, *MixedDisposals(), [] { return MixedDisposalsGif(); }, Waiter);
}

TEST_F(GifAnimatorTest, BackgroundIsTheScreenColourOfATransparentPictureElseTheWindowColour) {
    auto Source = std::make_unique<TFakeFrameSource>();
    Source->AddFrame({0, 0}, {8, 4}, 0xFF112233, 0).AddFrame({0, 0}, {2, 2}, 0xFF445566, 0, 100, Key);
    Source->Background = 0xFF0000AA;
    Source->Active = 0;
    Animator->SetImage(std::move(Source));
    std::optional<QRgb> KeyColour;
    QImage Shown = Animator->ComposeFrameBitmap(1, KeyColour);
    EXPECT_FALSE(KeyColour);
    // Frame 1 covers only its corner: the rest is frame 0.
    EXPECT_EQ(Shown.pixel(7, 3), 0xFF112233u);
    auto Opaque = Strip(2, 60);
    Opaque->Frames[1].Info.Width = 2;
    Opaque->Background = 0xFF0000AA;
    Animator->SetImage(std::move(Opaque));
    Shown = Animator->ComposeFrameBitmap(0, KeyColour);
    EXPECT_EQ(Shown.pixel(0, 0), QColor(qRgb(0, 100, 200)).rgba());
}

TEST_F(GifAnimatorTest, ATransparentPictureShowsTheParentsBackgroundThroughIt) {
    QPalette Parent = Window->palette();
    Parent.setColor(QPalette::Window, Qt::green);
    Window->setPalette(Parent);
    Window->setAutoFillBackground(true);
    QPalette Own = Animator->palette();
    Own.setColor(QPalette::Window, Qt::magenta);
    Animator->setPalette(Own);
    auto Frames = std::make_unique<TFakeFrameSource>();
    Frames->AddFrame({0, 0}, {8, 4}, 0xFF0000FF, 0, 100, Key);  // every other pixel the key
    auto Gif = AsGif(std::move(Frames));
    ASSERT_TRUE(Gif->Transparent());
    Animator->SetImage(std::move(Gif));
    Animator->move(5, 5);
    const QImage Shown = Animator->Snapshot();
    EXPECT_EQ(Shown.pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(Shown.pixelColor(1, 0), QColor(Qt::blue));
    EXPECT_EQ(Animator->grab().toImage().pixelColor(2, 0), QColor(Qt::green));  // so does a paint
}

TEST_F(GifAnimatorTest, DrawingFollowsStretchAndCenter) {
    Animator->SetAutoSize(false);
    Animator->resize(4, 2);
    auto Source = std::make_unique<TFakeFrameSource>();
    Source->AddFrame({0, 0}, {8, 4}, 0xFF00FF00, 0);
    QPainter(&Source->Frames[0].Picture).fillRect(QRect(2, 1, 4, 2), QColor(0xFFFF0000));
    Animator->SetImage(std::move(Source));
    // Centred, the 8 x 4 picture lies at (-2, -1): the client shows its red middle.
    Animator->SetCenter(true);
    QImage Shown = Animator->Snapshot();
    EXPECT_EQ(Shown.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Shown.pixel(3, 1), 0xFFFF0000u);
    // Stretched, the whole picture shrinks into the client: green corners.
    Animator->SetStretch(true);
    Shown = Animator->Snapshot();
    EXPECT_EQ(Shown.pixel(0, 0), 0xFF00FF00u);
    // Neither: the top-left corner of the picture.
    Animator->SetStretch(false);
    Animator->SetCenter(false);
    Shown = Animator->Snapshot();
    EXPECT_EQ(Shown.pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(Shown.pixel(3, 1), 0xFFFF0000u);
}

TEST_F(GifAnimatorTest, AutoSizeTakesTheLogicalScreen) {
    Animator->SetImage(Strip(2, 60));
    EXPECT_EQ(Animator->size(), QSize(8, 4));
}

TEST_F(GifAnimatorTest, FitToImageTakesTheScreenSidesTheAlignmentLeavesFree) {
    int Width = 50;
    int Height = 60;
    Animator->SetImage(std::make_unique<TFakeFrameSource>());
    EXPECT_TRUE(Animator->FitToImage(Width, Height));
    EXPECT_EQ(QSize(Width, Height), QSize(50, 60)) << "empty image";
    Animator->SetImage(Strip(2, 60));
    const std::pair<TGIFAnimator::TAlign, QSize> Cases[] = {
        {TGIFAnimator::alNone, {8, 4}}, {TGIFAnimator::alLeft, {8, 60}},   {TGIFAnimator::alRight, {8, 60}},
        {TGIFAnimator::alTop, {50, 4}}, {TGIFAnimator::alBottom, {50, 4}}, {TGIFAnimator::alClient, {50, 60}},
    };
    for (const auto& [Align, Expected] : Cases) {
        Width = 50;
        Height = 60;
        Animator->SetAlign(Align);
        EXPECT_TRUE(Animator->FitToImage(Width, Height));
        EXPECT_EQ(QSize(Width, Height), Expected) << Align;
    }
}

// The UI thread asks for sizes, delays and pictures while the timer thread
// steps through frames that decode on first use (run under ThreadSanitizer).
TEST(GifAnimatorDecodeTest, UiThreadReadsWhileTheTimerThreadDecodes) {
    testing::TImmediateTimerWaiter Immediate;
    QWidget Window;
    auto* Animator = new TGIFAnimator(&Window, Immediate);
    Window.show();
    Animator->SetAsyncDrawing(true);
    Animator->SetAnimate(true);
    for (int Round = 0; Round < 20; ++Round) {
        // A freshly read GIF: only its first frame is decoded yet.
        Animator->SetImage(MixedDisposalsGif());
        for (int Read = 0; Read < 10; ++Read) {
            EXPECT_EQ(Animator->sizeHint(), QSize(8, 4));
            EXPECT_EQ(Animator->CurrentFrameDelay(), 100u);
            EXPECT_FALSE(Animator->Snapshot().isNull());
        }
    }
    Animator->SetAnimate(false);
}

// Destroys animators while a step runs on the timer thread, or while a step
// waits for the UI thread to run the frame-changed event; repeated to shake
// out races (run under ThreadSanitizer).
TEST(GifAnimatorLifetimeTest, DestroyedDuringAStepManyTimes) {
    testing::TImmediateTimerWaiter Immediate;
    QWidget Window;
    Window.show();
    for (const bool WaitsForUi : {false, true}) {
        for (int Round = 0; Round < 1000; ++Round) {
            auto* Animator = new TGIFAnimator(&Window, Immediate);
            std::atomic<int> Steps{0};
            if (WaitsForUi) {
                Animator->OnFrameChanged = [](QObject*) {};
            }
            Animator->SetImage(Strip(3, 60));
            Animator->show();
            Animator->SetAsyncDrawing(true);
            Animator->SetAnimate(true);
            while (!(WaitsForUi ? Animator->FrameTimer().WaitingForUiThread() : Animator->FrameIndex() != 0)) {
                QThread::yieldCurrentThread();
            }
            delete Animator;
        }
    }
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace kit
