#include "kit/tray_icon.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <stdexcept>

#include "kit/testing/fake_tray_backend.h"
#include "kit/tests/anim_test_support.h"

namespace kit {
namespace {

using testing::IconFileBytes;
using Button = TTrayIcon::TMouseButton;
using Message = TTrayMessage;

struct TMouseCall {
    std::string Event;
    Button Pressed;
    TTrayIcon::TShiftState Shift;
};

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto Made = std::make_unique<testing::TFakeTrayBackend>();
        Tray = Made.get();
        Icon = std::make_unique<TTrayIcon>(nullptr, std::move(Made));
        Red.LoadFromBytes(IconFileBytes(Qt::red));
        Blue.LoadFromBytes(IconFileBytes(Qt::blue));
        Green.LoadFromBytes(IconFileBytes(Qt::green));
        Icon->OnClick = [this](QObject*, Button B, TTrayIcon::TShiftState S, int, int) {
            Calls.push_back({"click", B, S});
        };
        Icon->OnMouseDown = [this](QObject*, Button B, TTrayIcon::TShiftState S, int, int) {
            Calls.push_back({"down", B, S});
        };
        Icon->OnMouseUp = [this](QObject*, Button B, TTrayIcon::TShiftState S, int, int) {
            Calls.push_back({"up", B, S});
        };
        Icon->OnDblClick = [this](QObject*) { Calls.push_back({"double", Button::mbLeft, 0}); };
    }
    void TearDown() override { SetExceptionHandler(nullptr); }

    std::vector<std::string> Events() const {
        std::vector<std::string> Names;
        for (const TMouseCall& Call : Calls) {
            Names.push_back(Call.Event);
        }
        return Names;
    }

    // Shows the icon with two animation frames (green, blue) and Red as its icon.
    void ShowWithTwoFrames() {
        Icon->Icons().Add(&Green);
        Icon->Icons().Add(&Blue);
        Icon->SetIcon(Red);
    }

    qint64 ShownKey() const { return Tray->Last.Icon.cacheKey(); }

    testing::TFakeTrayBackend* Tray = nullptr;
    std::unique_ptr<TTrayIcon> Icon;
    TIcon Red, Blue, Green;
    std::vector<TMouseCall> Calls;
};

TEST_F(TrayIconTest, WithoutAnIconNothingIsShownWhateverActiveSays) {
    Icon->Loaded();
    Icon->SetHint("hint");
    Icon->SetActive(false);
    Icon->SetActive(true);
    EXPECT_EQ(Tray->Adds, 0);
    EXPECT_FALSE(Icon->Added());
    Icon->SetIcon(Red);
    EXPECT_TRUE(Icon->Added());
    EXPECT_EQ(ShownKey(), Icon->Icon().Picture().cacheKey());
    Icon->Icon().Clear();
    EXPECT_FALSE(Icon->Added());
    EXPECT_FALSE(Tray->Shown);
}

TEST_F(TrayIconTest, TooltipIsTheShortHintCutTo63Characters) {
    Icon->SetIcon(Red);
    const std::pair<QString, QString> Cases[] = {
        {QString(100, 'x'), QString(63, 'x')},
        {"Short|Long hint", "Short"},
        {"|Only long", ""},
        {"Talvo Zintareko", "Talvo Zintareko"},
    };
    for (const auto& [Hint, Tip] : Cases) {
        Icon->SetHint(Hint);
        EXPECT_EQ(Tray->Last.Tip, Tip);
    }
}

TEST_F(TrayIconTest, AFailedAddIsRetriedAtTheNextRefresh) {
    Tray->AddSucceeds = false;
    Icon->SetIcon(Red);
    EXPECT_FALSE(Icon->Added());
    Tray->AddSucceeds = true;
    Icon->SetHint("again");
    EXPECT_TRUE(Icon->Added());
    EXPECT_EQ(Tray->Adds, 2);
}

TEST_F(TrayIconTest, AnimationCyclesTheListAndStopsBackOnTheIcon) {
    Icon->SetAnimated(true);
    EXPECT_FALSE(Icon->Animated()) << "no frames";
    ShowWithTwoFrames();
    Icon->SetInterval(800);
    Icon->SetAnimated(true);
    EXPECT_TRUE(Icon->AnimationRunning());
    const qint64 Frames[] = {Green.Picture().cacheKey(), Blue.Picture().cacheKey()};
    std::vector<qint64> Shown{ShownKey()};
    for (int Step = 0; Step < 3; ++Step) {
        Icon->AdvanceFrame();
        Shown.push_back(ShownKey());
    }
    EXPECT_EQ(Shown, (std::vector<qint64>{Frames[0], Frames[1], Frames[0], Frames[1]}));
    Icon->SetAnimated(false);
    EXPECT_EQ(ShownKey(), Red.Picture().cacheKey());
    EXPECT_FALSE(Icon->AnimationRunning());
    Icon->AdvanceFrame();
    EXPECT_EQ(ShownKey(), Red.Picture().cacheKey());
}

TEST_F(TrayIconTest, EmptyingTheListEndsTheAnimation) {
    ShowWithTwoFrames();
    Icon->SetAnimated(true);
    Icon->Icons().Clear();
    EXPECT_FALSE(Icon->Animated());
    EXPECT_EQ(ShownKey(), Red.Picture().cacheKey());
}

TEST_F(TrayIconTest, AnimationPausesWhileTheIconIsOutOfTheTray) {
    ShowWithTwoFrames();
    Icon->SetAnimated(true);
    Icon->SetActive(false);
    EXPECT_FALSE(Icon->Added());
    EXPECT_TRUE(Icon->Animated());
    EXPECT_FALSE(Icon->AnimationRunning());
    Icon->SetActive(true);
    EXPECT_TRUE(Icon->AnimationRunning());
}

TEST_F(TrayIconTest, TheAnimationStepsOnTheUiThreadAtTheInterval) {
    ShowWithTwoFrames();
    Icon->SetInterval(1);
    Icon->SetAnimated(true);
    ASSERT_TRUE(testing::PumpUntil([&] { return Icon->FrameIndex() == 1; }));
}

TEST_F(TrayIconTest, MouseMessagesBecomeEvents) {
    struct Case {
        const char* Name;
        std::vector<Message> Sent;
        std::vector<std::string> Fired;
        unsigned FirstShift;
    };
    const Case Cases[] = {
        {"left click", {Message::LeftDown, Message::LeftUp}, {"down", "click", "up"}, TTrayIcon::ssLeft},
        {"left up alone", {Message::LeftUp}, {"up"}, TTrayIcon::ssLeft},
        {"right click without menu",
         {Message::RightDown, Message::RightUp},
         {"down", "click", "up"},
         TTrayIcon::ssRight},
        {"right up alone", {Message::RightUp}, {"up"}, TTrayIcon::ssRight},
        {"left double", {Message::LeftDouble}, {"double", "down"}, TTrayIcon::ssDouble},
        {"right double", {Message::RightDouble}, {"down"}, TTrayIcon::ssDouble},
        {"middle", {Message::MiddleDown, Message::MiddleUp}, {"down", "up"}, TTrayIcon::ssMiddle},
        {"shift held", {Message::MiddleDouble}, {"down"}, TTrayIcon::ssDouble | TTrayIcon::ssShift},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        Calls.clear();
        Tray->Keys = std::string(C.Name) == "shift held" ? Qt::ShiftModifier : Qt::NoModifier;
        for (const Message M : C.Sent) {
            Tray->Message(M);
        }
        EXPECT_EQ(Events(), C.Fired);
        ASSERT_FALSE(Calls.empty());
        const unsigned FirstShift = C.Fired.front() == "double" ? Calls[1].Shift : Calls[0].Shift;
        EXPECT_EQ(FirstShift, C.FirstShift);
    }
}

TEST_F(TrayIconTest, RightClickPopsUpTheMenuAtTheCursorInsteadOfClicking) {
    QMenu Menu;
    Menu.addAction("Open");
    Icon->SetIcon(Red);
    Icon->SetPopupMenu(&Menu);
    Tray->Message(Message::RightDown);
    Tray->Message(Message::RightUp);
    ASSERT_EQ(Tray->PoppedUp.size(), 1u);
    EXPECT_EQ(Tray->PoppedUp[0], &Menu);
    EXPECT_EQ(Tray->PopupAt, Tray->Cursor);
    EXPECT_EQ(Events(), (std::vector<std::string>{"down", "up"}));
    Icon->SetActive(false);
    Calls.clear();
    Tray->Message(Message::RightDown);
    Tray->Message(Message::RightUp);
    EXPECT_EQ(Tray->PoppedUp.size(), 1u) << "an inactive icon pops up nothing";
    EXPECT_EQ(Events(), (std::vector<std::string>{"down", "click", "up"}));
}

TEST_F(TrayIconTest, DestroyedMenuIsForgottenAndARightClickClicks) {
    auto* Menu = new QMenu;
    Menu->addAction("Open");
    Icon->SetIcon(Red);
    Icon->SetPopupMenu(Menu);
    Menu->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Icon->PopupMenu(), nullptr);
    Tray->Message(Message::RightDown);
    Tray->Message(Message::RightUp);
    EXPECT_TRUE(Tray->PoppedUp.empty());
    ASSERT_EQ(Events(), (std::vector<std::string>{"down", "click", "up"}));
    EXPECT_EQ(Calls[1].Pressed, Button::mbRight);
}

TEST_F(TrayIconTest, DoubleClickRunsTheEnabledDefaultItemElseFiresTheEvent) {
    QMenu Menu;
    Menu.addAction("Hide after minimize");
    QAction* Open = Menu.addAction("Open Zintareko program");
    Menu.setDefaultAction(Open);
    int Opened = 0;
    QObject::connect(Open, &QAction::triggered, [&] { ++Opened; });
    Icon->SetIcon(Red);
    Icon->SetPopupMenu(&Menu);
    Tray->Message(Message::LeftDouble);
    EXPECT_EQ(Opened, 1);
    EXPECT_EQ(Events(), (std::vector<std::string>{"down"}));
    Open->setEnabled(false);
    Calls.clear();
    Tray->Message(Message::LeftDouble);
    EXPECT_EQ(Opened, 1);
    EXPECT_EQ(Events(), (std::vector<std::string>{"double", "down"}));
}

TEST_F(TrayIconTest, DisabledIconFiresNothing) {
    Icon->SetEnabled(false);
    for (unsigned Raw = 0x200; Raw <= 0x209; ++Raw) {
        Tray->Message(static_cast<Message>(Raw));
    }
    EXPECT_TRUE(Calls.empty());
}

TEST_F(TrayIconTest, HandlerErrorsGoToTheExceptionHandler) {
    QObject* ReportedSender = nullptr;
    SetExceptionHandler([&](QObject* Sender, const std::exception_ptr&) { ReportedSender = Sender; });
    Icon->OnMouseMove = [](QObject*, TTrayIcon::TShiftState, int, int) { throw std::runtime_error("failed"); };
    EXPECT_NO_THROW(Tray->Message(Message::MouseMove));
    EXPECT_EQ(ReportedSender, Icon.get());
}

TEST(SystemTrayTest, WithoutATrayTheComponentStaysOutOfItQuietly) {
    TTrayIcon Icon;
    TIcon Red;
    Red.LoadFromBytes(IconFileBytes(Qt::red));
    Icon.Icons().Add(&Red);
    Icon.SetIcon(Red);
    Icon.SetAnimated(true);
    Icon.Loaded();
    EXPECT_FALSE(Icon.Added());
}

}  // namespace
}  // namespace kit
