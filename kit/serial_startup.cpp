#include "kit/serial_startup.h"

#include "kit/resource_strings.h"

namespace kit {

const std::array<const char*, 23> SerialErrorMessages = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if a port is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

namespace {

struct TSerialState {
    bool Started = false;
    TTerminalFont Font;
    QStringList Texts;
};

TSerialState& State() {
    static TSerialState state;
    return state;
}

}  // namespace

void InitSerialStartup() {
    TSerialState& state = State();
    if (state.Started) {
        return;
    }
    state.Started = true;
    state.Font.Font = QFont("Fixedsys", 9);
    state.Font.Color = QColor(0xFF, 0xFF, 0xFF);
    AddResourceDomain("serialport");
    for (const char* text : SerialErrorMessages) {
        state.Texts << ResourceString(text);
    }
}

const TTerminalFont& TerminalFont() { return State().Font; }

const QStringList& SerialErrorTexts() { return State().Texts; }

}  // namespace kit
