// SendKeys typing into a real X client through the X11 key sink, on several
// keyboard layouts.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <memory>
#include <string>
#include <vector>

#include "app/send_keys.h"
#include "app/tests/text_box_session.h"

namespace app {
namespace {

using namespace app::testing;

// Sets a keyboard layout for the whole server and puts the previous one back.
class TLayout {
public:
    explicit TLayout(const QString& Layout) {
        QProcess query;
        query.start("setxkbmap", {"-query"});
        query.waitForFinished();
        for (const QByteArray& line : query.readAllStandardOutput().split('\n')) {
            if (line.startsWith("layout:")) {
                FPrevious = QString::fromLatin1(line.mid(7).trimmed());
            }
        }
        Set(Layout);
    }
    ~TLayout() { Set(FPrevious.isEmpty() ? QStringLiteral("us") : FPrevious); }
    TLayout(const TLayout&) = delete;
    TLayout& operator=(const TLayout&) = delete;

private:
    static void Set(const QString& Layout) {
        EXPECT_EQ(QProcess::execute("setxkbmap", {Layout}), 0) << Layout.toStdString();
    }
    QString FPrevious;
};

class SendKeysX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "send_keys_x11_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }

    void SetUp() override {
        FSink = platform::OpenSystemKeySink();
        ASSERT_EQ(FSink->UnavailableReason(), "");
        FBox = std::make_unique<TTextBoxSession>();
    }
    void UseTextBox(ETextBoxToolkit Toolkit) {
        FBox.reset();
        FBox = std::make_unique<TTextBoxSession>(false, Toolkit);
    }
    void TearDown() override {
        FBox.reset();
        FSink.reset();
    }

    // Types the text, then F12 so that the client reports what it got.
    TTextBoxSession::TTyped Type(const std::string& Text) {
        const TKeyOutput output{*FSink, [this](const std::string& message) { FReports.push_back(message); }, {}};
        EXPECT_TRUE(SendKeys(Text, true, output)) << Text;
        EXPECT_TRUE(SendKeys("{F12}", true, output));
        return FBox->ReadTyped();
    }

    std::unique_ptr<platform::KeySink> FSink;
    std::unique_ptr<TTextBoxSession> FBox;
    std::vector<std::string> FReports;
};

// UTF-8 of a Latin-1 keystroke string: what a client receives when it is typed.
QByteArray Utf8(const std::string& Latin1) { return QString::fromLatin1(Latin1.data(), Latin1.size()).toUtf8(); }

// The four renderings of one card code, as the tool types them.
const std::vector<std::string> CardCodes{"0080476253706", "0006376970", "097,19978", "12BC614E0A"};

// Each end of line the tool can append, the key's text and what a text box
// shows for it. Both line ends ("CR" is character 10, "LF" character 13) are
// typed as Return, so both break the line.
struct TEndOfLine {
    std::string Typed;
    QByteArray Keys;
    QByteArray Shown;
};
const std::vector<TEndOfLine> EndsOfLine{{"", "", ""}, {"\t", "\t", "\t"}, {"\n", "\r", "\n"}, {"\r", "\r", "\n"}};

TEST_F(SendKeysX11, TypesCardCodesWithEveryEndOfLineOnSeveralLayouts) {
    for (const QString layout : {"us", "fr", "de"}) {
        const TLayout active(layout);
        for (const std::string& code : CardCodes) {
            for (const TEndOfLine& end : EndsOfLine) {
                const TTextBoxSession::TTyped typed = Type(code + end.Typed);
                EXPECT_EQ(typed.Keys, Utf8(code) + end.Keys) << layout.toStdString() << " " << code;
                EXPECT_EQ(typed.Box, Utf8(code) + end.Shown) << layout.toStdString() << " " << code;
            }
        }
    }
    EXPECT_TRUE(FReports.empty());
}

TEST_F(SendKeysX11, BothLineEndsAreReturnAndBreakTheLineInATkTextBox) {
    const TLayout active("us");
    UseTextBox(ETextBoxToolkit::Tk);
    for (const char* end : {"\n", "\r"}) {
        const TTextBoxSession::TTyped typed = Type(CardCodes[0] + end);
        EXPECT_EQ(typed.Keys, Utf8(CardCodes[0]) + "\r") << int(end[0]);  // Return
        EXPECT_EQ(typed.Box, Utf8(CardCodes[0]) + "\n") << int(end[0]);
    }
    EXPECT_TRUE(FReports.empty());
}

TEST_F(SendKeysX11, CharactersWithoutAKeyGoThroughASpareKeycodeThatIsRestored) {
    const TLayout active("us");
    ASSERT_FALSE(KeysymHasKey("eacute"));
    ASSERT_FALSE(KeysymHasKey("F13"));
    EXPECT_EQ(Type("\xE9\xFC\xE9").Keys, Utf8("\xE9\xFC\xE9"));
    EXPECT_EQ(Type("{F13}{F16 2}{F1}").Keys, "[F13][F16][F16][F1]");
    FSink.reset();
    for (const char* symbol : {"eacute", "udiaeresis", "F13", "F16"}) {
        EXPECT_FALSE(KeysymHasKey(symbol)) << symbol;
    }
}

TEST_F(SendKeysX11, ModifiersTheUserHoldsOrLocksDoNotChangeTheText) {
    const TLayout active("us");
    FakeUserKey("Shift_L", true);
    EXPECT_EQ(Type("123,ab").Keys, "123,ab");
    EXPECT_FALSE(KeyIsDown("Shift_L"));
    FakeUserKey("Control_R", true);
    EXPECT_EQ(Type("0A").Keys, "0A");
    EXPECT_FALSE(KeyIsDown("Control_R"));

    LockModifierOf("Caps_Lock", true);
    EXPECT_EQ(Type("aB1").Keys, "aB1");
    EXPECT_TRUE(ModifierOfLocked("Caps_Lock"));
    LockModifierOf("Caps_Lock", false);
}

TEST_F(SendKeysX11, NumLockFlipsTheServersNumLock) {
    const bool before = ModifierOfLocked("Num_Lock");
    const TKeyOutput output{*FSink, {}, {}};
    ASSERT_TRUE(SendKeys("{NUMLOCK}", true, output));
    EXPECT_NE(ModifierOfLocked("Num_Lock"), before);
    ASSERT_TRUE(SendKeys("{NUMLOCK 3}", true, output));
    EXPECT_EQ(ModifierOfLocked("Num_Lock"), before);
}

}  // namespace
}  // namespace app
