#pragma once

#include <QByteArray>
#include <QProcess>

namespace app::testing {

// The helper text box client, started and given the keyboard focus. Needs a
// QCoreApplication and an X display.
class TTextBoxSession {
public:
    // Starts the client and focuses its window; throws std::runtime_error on failure.
    TTextBoxSession();
    ~TTextBoxSession();
    TTextBoxSession(const TTextBoxSession&) = delete;
    TTextBoxSession& operator=(const TTextBoxSession&) = delete;

    struct TTyped {
        QByteArray Keys;  // the text of every key typed, in order
        QByteArray Box;   // what the text box made of it
    };
    // What the client received up to the F12 that the caller has typed last.
    TTyped ReadTyped();

private:
    QByteArray ReadLine();
    QByteArray Expect(const QByteArray& Prefix);

    QProcess FClient;
    bool FFocused = false;
};

// The server's keyboard as a user at it would change it; keys are named by
// their keysym names ("Shift_L", "Num_Lock").
void FakeUserKey(const char* KeysymName, bool Down);
bool KeyIsDown(const char* KeysymName);
bool KeysymHasKey(const char* KeysymName);
void LockModifierOf(const char* KeysymName, bool Locked);
bool ModifierOfLocked(const char* KeysymName);

}  // namespace app::testing
