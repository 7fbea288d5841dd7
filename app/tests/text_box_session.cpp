#include "app/tests/text_box_session.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <memory>
#include <stdexcept>

namespace app::testing {
namespace {

// How long the client may take to answer before the session gives up on it.
constexpr int AnswerTimeoutMs = 20000;

using TDisplay = std::unique_ptr<Display, decltype(&XCloseDisplay)>;

TDisplay OpenDisplay() {
    TDisplay display(XOpenDisplay(nullptr), &XCloseDisplay);
    if (!display) {
        throw std::runtime_error("cannot open the X display");
    }
    return display;
}

// The top-level window that holds Window (a child of the root window): where
// a window manager puts the focus. Tk announces an inner window of its own.
Window TopLevelOf(Display* Connection, Window Inner) {
    Window current = Inner;
    for (;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(Connection, current, &root, &parent, &children, &count) == 0) {
            return current;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root || parent == 0) {
            return current;
        }
        current = parent;
    }
}

KeyCode KeycodeOf(Display* Connection, const char* KeysymName) {
    return XKeysymToKeycode(Connection, XStringToKeysym(KeysymName));
}

}  // namespace

TTextBoxSession::TTextBoxSession(bool Stamps, ETextBoxToolkit Toolkit) {
    FClient.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (Toolkit == ETextBoxToolkit::Tk) {
        FClient.start(QStringLiteral(TK_PYTHON), {QStringLiteral(TK_TEXT_BOX_CLIENT)});
    } else {
        FClient.start(QStringLiteral(TEXT_BOX_CLIENT),
                      Stamps ? QStringList{QStringLiteral("--stamps")} : QStringList{});
    }
    if (!FClient.waitForStarted(AnswerTimeoutMs)) {
        throw std::runtime_error("cannot start the text box client");
    }
    const Window window = Expect("window ").toULong();
    const TDisplay display = OpenDisplay();
    XSetInputFocus(display.get(), TopLevelOf(display.get(), window), RevertToParent, CurrentTime);
    XSync(display.get(), False);
    if (!FFocused) {
        Expect("focused");
    }
}

TTextBoxSession::~TTextBoxSession() {
    FClient.closeWriteChannel();
    if (!FClient.waitForFinished(AnswerTimeoutMs)) {
        FClient.kill();
        FClient.waitForFinished();
    }
}

QByteArray TTextBoxSession::ReadLine() {
    while (!FClient.canReadLine()) {
        if (!FClient.waitForReadyRead(AnswerTimeoutMs)) {
            throw std::runtime_error("the text box client did not answer");
        }
    }
    return FClient.readLine().chopped(1);
}

QByteArray TTextBoxSession::Expect(const QByteArray& Prefix) {
    QByteArray line = ReadLine();
    for (; line == "focused" && Prefix != line; line = ReadLine()) {
        FFocused = true;
    }
    if (!line.startsWith(Prefix)) {
        throw std::runtime_error("unexpected answer from the text box client: " + line.toStdString());
    }
    return line.mid(Prefix.size());
}

TTextBoxSession::TKeyArrival TTextBoxSession::ReadKey() {
    const QList<QByteArray> fields = Expect("key ").split(' ');
    if (fields.size() != 2) {
        throw std::runtime_error("unexpected key report from the text box client");
    }
    return {QByteArray::fromHex(fields[0]), fields[1].toLongLong()};
}

TTextBoxSession::TTyped TTextBoxSession::ReadTyped() {
    TTyped typed;
    typed.Keys = QByteArray::fromHex(Expect("typed "));
    typed.Box = QByteArray::fromHex(Expect("box "));
    return typed;
}

void FakeUserKey(const char* KeysymName, bool Down) {
    const TDisplay display = OpenDisplay();
    XTestFakeKeyEvent(display.get(), KeycodeOf(display.get(), KeysymName), Down ? True : False, CurrentTime);
    XSync(display.get(), False);
}

bool KeyIsDown(const char* KeysymName) {
    const TDisplay display = OpenDisplay();
    const KeyCode code = KeycodeOf(display.get(), KeysymName);
    char keys[32];
    XQueryKeymap(display.get(), keys);
    return (keys[code / 8] & (1 << (code % 8))) != 0;
}

bool KeysymHasKey(const char* KeysymName) { return KeycodeOf(OpenDisplay().get(), KeysymName) != 0; }

void LockModifierOf(const char* KeysymName, bool Locked) {
    const TDisplay display = OpenDisplay();
    const unsigned mask = XkbKeysymToModifiers(display.get(), XStringToKeysym(KeysymName));
    XkbLockModifiers(display.get(), XkbUseCoreKbd, mask, Locked ? mask : 0);
    XSync(display.get(), False);
}

bool ModifierOfLocked(const char* KeysymName) {
    const TDisplay display = OpenDisplay();
    XkbStateRec state;
    XkbGetState(display.get(), XkbUseCoreKbd, &state);
    return (state.locked_mods & XkbKeysymToModifiers(display.get(), XStringToKeysym(KeysymName))) != 0;
}

}  // namespace app::testing
