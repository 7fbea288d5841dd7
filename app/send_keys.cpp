#include "app/send_keys.h"

#include <algorithm>
#include <array>
#include <limits>

namespace app {
namespace {

using platform::KEYEVENTF_EXTENDEDKEY;
using platform::KEYEVENTF_KEYUP;
using platform::VK_CONTROL;
using platform::VK_MENU;
using platform::VK_NUMLOCK;
using platform::VK_RETURN;
using platform::VK_SHIFT;

// Shift + the keys of "{" and "}" on a US keyboard, whatever the layout.
constexpr std::uint16_t LeftBraceKey = 0x1DB;
constexpr std::uint16_t RightBraceKey = 0x1DD;

constexpr std::size_t MaxNameLength = 20;

struct TKeyName {
    std::string_view Name;
    std::uint8_t VirtualKey;
};

// Names usable in braces, sorted by the byte values of the names.
constexpr std::array<TKeyName, 41> KeyNames{{
    {"BACKSPACE", 8}, {"BKSP", 8},    {"BREAK", 3},        {"BS", 8},        {"CAPSLOCK", 20}, {"CLEAR", 12},
    {"DEL", 46},      {"DELETE", 46}, {"DOWN", 40},        {"END", 35},      {"ENTER", 13},    {"ESC", 27},
    {"ESCAPE", 27},   {"F1", 112},    {"F10", 121},        {"F11", 122},     {"F12", 123},     {"F13", 124},
    {"F14", 125},     {"F15", 126},   {"F16", 127},        {"F2", 113},      {"F3", 114},      {"F4", 115},
    {"F5", 116},      {"F6", 117},    {"F7", 118},         {"F8", 119},      {"F9", 120},      {"HELP", 47},
    {"HOME", 36},     {"INS", 45},    {"LEFT", 37},        {"NUMLOCK", 144}, {"PGDN", 34},     {"PGUP", 33},
    {"PRTSC", 42},    {"RIGHT", 39},  {"SCROLLLOCK", 145}, {"TAB", 9},       {"UP", 38},
}};

constexpr bool NamesStrictlySorted() {
    return std::adjacent_find(KeyNames.begin(), KeyNames.end(),
                              [](const TKeyName& a, const TKeyName& b) { return a.Name >= b.Name; }) == KeyNames.end();
}
static_assert(NamesStrictlySorted(), "the key-name table must stay sorted for the search by halving");

// Looks a name up by halving the sorted table; 0 when it is not there.
std::uint8_t FindKeyName(std::string_view Name) {
    const auto found = std::lower_bound(KeyNames.begin(), KeyNames.end(), Name,
                                        [](const TKeyName& entry, std::string_view name) { return entry.Name < name; });
    return found != KeyNames.end() && found->Name == Name ? found->VirtualKey : 0;
}

bool IsExtendedKey(std::uint8_t VirtualKey) {
    return (VirtualKey >= 33 && VirtualKey <= 40) || VirtualKey == 45 || VirtualKey == 46;
}

char UpperCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int DigitValue(char c, int Base) {
    int value = 99;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    }
    return value < Base ? value : -1;
}

EConvertError NotAnInteger(std::string_view Text) {
    return EConvertError(QStringLiteral("'%1' is not a valid integer value")
                             .arg(QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()))));
}

EConvertError NotACount(std::string_view Text) {
    return EConvertError(QStringLiteral("Repeat count '%1' is not in the range 0 to %2")
                             .arg(QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size())))
                             .arg(std::numeric_limits<std::uint16_t>::max()));
}

void Report(const TKeyOutput& Output, const std::string& Message) {
    if (Output.Report) {
        Output.Report(Message);
    }
}

// One call of SendKeys: the prefix and group flags and the key sending steps.
class TInterpreter {
public:
    TInterpreter(const TKeyOutput& Output, bool Wait) : FOutput(Output), FWait(Wait) {}

    bool Run(std::string_view Text);
    // Releases whatever prefix is still down, group or not.
    void ReleaseAll() {
        FGroup = false;
        Release();
    }

private:
    void Event(std::uint8_t VirtualKey, std::uint8_t ScanCode, std::uint32_t Flags);
    void ModifierEvent(std::uint8_t VirtualKey, std::uint32_t Flags) {
        Event(VirtualKey, FOutput.Sink.ScanCode(VirtualKey), Flags);
    }
    void SendKey(std::uint8_t VirtualKey, std::uint16_t Count, bool KeyUp);
    void SendKeyWithShift(std::uint16_t Key, std::uint16_t Count);
    void Press(bool& Flag, std::uint8_t VirtualKey) {
        ModifierEvent(VirtualKey, 0);
        Flag = true;
    }
    void Release();
    // Handles the brace group at Text[Start]; returns the index after it, or
    // npos when the group has no closing brace.
    std::size_t BraceGroup(std::string_view Text, std::size_t Start);

    const TKeyOutput& FOutput;
    bool FWait;
    bool FShift = false;
    bool FCtrl = false;
    bool FAlt = false;
    bool FGroup = false;
};

void TInterpreter::Event(std::uint8_t VirtualKey, std::uint8_t ScanCode, std::uint32_t Flags) {
    FOutput.Sink.KeyEvent({VirtualKey, ScanCode, Flags});
    if (FWait) {
        FOutput.Sink.Sync();
        if (FOutput.PumpMessages) {
            FOutput.PumpMessages();
        }
    }
}

void TInterpreter::SendKey(std::uint8_t VirtualKey, std::uint16_t Count, bool KeyUp) {
    if (VirtualKey == VK_NUMLOCK) {
        FOutput.Sink.ToggleNumLock();
        return;
    }
    const std::uint8_t scan = FOutput.Sink.ScanCode(VirtualKey);
    const std::uint32_t extended = IsExtendedKey(VirtualKey) ? KEYEVENTF_EXTENDEDKEY : 0;
    for (unsigned i = 0; i < Count; ++i) {
        Event(VirtualKey, scan, extended);
        if (KeyUp) {
            Event(VirtualKey, scan, extended | KEYEVENTF_KEYUP);
        }
    }
}

void TInterpreter::SendKeyWithShift(std::uint16_t Key, std::uint16_t Count) {
    constexpr std::array<std::pair<std::uint16_t, std::uint8_t>, 3> modifiers{
        {{platform::ShiftBit, VK_SHIFT}, {platform::CtrlBit, VK_CONTROL}, {platform::AltBit, VK_MENU}}};
    for (const auto& [bit, virtualKey] : modifiers) {
        if ((Key & bit) != 0) {
            ModifierEvent(virtualKey, 0);
        }
    }
    SendKey(static_cast<std::uint8_t>(Key & 0xFF), Count, true);
    for (const auto& [bit, virtualKey] : modifiers) {
        if ((Key & bit) != 0) {
            ModifierEvent(virtualKey, KEYEVENTF_KEYUP);
        }
    }
}

void TInterpreter::Release() {
    if (FGroup) {
        return;
    }
    for (auto [flag, virtualKey] : {std::pair{&FShift, VK_SHIFT}, {&FCtrl, VK_CONTROL}, {&FAlt, VK_MENU}}) {
        if (*flag) {
            ModifierEvent(virtualKey, KEYEVENTF_KEYUP);
            *flag = false;
        }
    }
}

std::size_t TInterpreter::BraceGroup(std::string_view Text, std::size_t Start) {
    if (Start + 1 < Text.size() && Text[Start + 1] == '{') {
        SendKeyWithShift(LeftBraceKey, 1);
        Release();
        return Start + 3;
    }
    const std::size_t close = Text.find('}', Start + 1);
    if (close == std::string_view::npos) {
        Report(FOutput, "No Close");
        return std::string_view::npos;
    }
    if (close + 1 < Text.size() && Text[close + 1] == '}') {
        SendKeyWithShift(RightBraceKey, 1);
        Release();
        return close + 2;
    }
    std::string name(Text.substr(Start + 1, std::min(close - Start - 1, MaxNameLength)));
    std::transform(name.begin(), name.end(), name.begin(), UpperCase);
    std::uint16_t count = 1;
    if (const std::size_t blank = name.find(' '); blank != std::string::npos) {
        const std::string_view countText = std::string_view(name).substr(blank + 1);
        const std::int32_t value = StrToInt(countText);
        if (value < 0 || value > std::numeric_limits<std::uint16_t>::max()) {
            throw NotACount(countText);
        }
        count = static_cast<std::uint16_t>(value);
        name.resize(blank);
    }
    std::uint16_t key = 0;
    if (name.size() == 1) {
        key = FOutput.Sink.VkKeyScan(name[0]);
        if (key == platform::NoKey) {
            return close + 1;
        }
    } else {
        key = FindKeyName(name);
        if (key == 0) {
            Report(FOutput, "Invalid Key Name");
            return close + 1;
        }
    }
    SendKeyWithShift(key, count);
    Release();
    return close + 1;
}

bool TInterpreter::Run(std::string_view Text) {
    std::size_t i = 0;
    while (i < Text.size()) {
        const char c = Text[i];
        std::size_t next = i + 1;
        switch (c) {
            case '+':
                Press(FShift, VK_SHIFT);
                break;
            case '^':
                Press(FCtrl, VK_CONTROL);
                break;
            case '%':
                Press(FAlt, VK_MENU);
                break;
            case '(':
                FGroup = true;
                break;
            case ')':
                FGroup = false;
                Release();
                break;
            case '~':
                SendKey(VK_RETURN, 1, true);
                Release();
                break;
            case '{':
                next = BraceGroup(Text, i);
                if (next == std::string_view::npos) {
                    return false;
                }
                break;
            default:
                if (const std::uint16_t key = FOutput.Sink.VkKeyScan(c); key == platform::NoKey) {
                    Report(FOutput, "Invalid KeyName");
                } else {
                    SendKeyWithShift(key, 1);
                    Release();
                }
                break;
        }
        i = next;
    }
    return true;
}

}  // namespace

std::int32_t StrToInt(std::string_view Text) {
    const auto fail = [Text] { return NotAnInteger(Text); };
    std::size_t i = Text.find_first_not_of(' ');
    if (i == std::string_view::npos) {
        throw fail();
    }
    const bool negative = Text[i] == '-';
    if (Text[i] == '-' || Text[i] == '+') {
        ++i;
    }
    int base = 10;
    if (i < Text.size() && (Text[i] == '$' || Text[i] == 'x' || Text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < Text.size() && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == Text.size()) {
        throw fail();
    }
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < Text.size(); ++i) {
        const int digit = DigitValue(Text[i], base);
        if (digit < 0) {
            throw fail();
        }
        value = value * base + digit;
        if (value > limit) {
            throw fail();
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

bool SendKeys(std::string_view Text, bool Wait, const TKeyOutput& Output) {
    if (Text.empty()) {
        return false;
    }
    if (const std::string reason = Output.Sink.UnavailableReason(); !reason.empty()) {
        Report(Output, reason);
        return false;
    }
    TInterpreter interpreter(Output, Wait);
    try {
        const bool whole = interpreter.Run(Text);
        interpreter.ReleaseAll();
        return whole;
    } catch (...) {
        interpreter.ReleaseAll();
        throw;
    }
}

}  // namespace app
