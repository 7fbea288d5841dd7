#pragma once

#include <QByteArray>
#include <QProcess>
#include <cstdint>

namespace app::testing {

// The toolkit of a helper text box client.
enum class ETextBoxToolkit { Qt, Tk };

// The helper text box client, started and given the keyboard focus. Needs a
// QCoreApplication and an X display.
class TTextBoxSession {
public:
    // Starts the client and focuses its window; throws std::runtime_error on
    // failure. With Stamps the client reports each key as it arrives (ReadKey;
    // the Qt client only).
    explicit TTextBoxSession(bool Stamps = false, ETextBoxToolkit Toolkit = ETextBoxToolkit::Qt);
    ~TTextBoxSession();
    TTextBoxSession(const TTextBoxSession&) = delete;
    TTextBoxSession& operator=(const TTextBoxSession&) = delete;

    struct TTyped {
        QByteArray Keys;  // the text of every key typed, in order
        QByteArray Box;   // what the text box made of it
    };
    // What the client received up to the F12 that the caller has typed last.
    TTyped ReadTyped();

    struct TKeyArrival {
        QByteArray Text;        // the key's text
        std::int64_t SteadyNs;  // when the client got it, on the steady clock
    };
    // The next key the client reports (only with Stamps).
    TKeyArrival ReadKey();
    // True when a report of the client is waiting; needs the event loop to run.
    bool ReportWaiting() const { return FClient.canReadLine(); }

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
