// Keyboard output on X11: key events are injected with the XTest extension and
// mapped onto the server's current keyboard layout, read through XKB.
//
// Windows names keys by virtual key; X by keycode, whose meaning the layout
// gives. The sink ties the character keys' virtual keys to key positions (the
// virtual keys of a US keyboard, by the XKB names of the positions) and the
// other keys to keysyms. Characters are looked up in the layout in effect: the
// key that gives the character's keysym, and whether Shift is needed for it
// given the locked modifiers (Caps Lock) at that moment. A keysym that no key
// gives without other modifiers is typed on a spare keycode (one with no
// symbols) that is remapped to it; the spare keeps that symbol while the sink
// lives, so a client that reads the layout late still sees it, and gets its
// empty mapping back when the sink closes.
//
// Keyboard state is the server's, not a thread's: NumLock is flipped by
// locking or unlocking the NumLock modifier. Modifier keys that someone holds
// down on the real keyboard would change the characters typed, so they are
// released before each key is pressed.

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <string_view>
#include <vector>

#include "platform/key_sink.h"

namespace platform {
namespace {

// The virtual key that stands for "the character last asked for that no key gives".
constexpr std::uint8_t VK_PACKET = 0xE7;

// Character keys: virtual key and the XKB name of its position on a US keyboard.
struct TPositionKey {
    std::uint8_t VirtualKey;
    std::string_view Position;
};
constexpr std::array<TPositionKey, 48> PositionKeys{{
    {'1', "AE01"},  {'2', "AE02"},  {'3', "AE03"},  {'4', "AE04"},  {'5', "AE05"},  {'6', "AE06"},  {'7', "AE07"},
    {'8', "AE08"},  {'9', "AE09"},  {'0', "AE10"},  {0xBD, "AE11"}, {0xBB, "AE12"}, {'Q', "AD01"},  {'W', "AD02"},
    {'E', "AD03"},  {'R', "AD04"},  {'T', "AD05"},  {'Y', "AD06"},  {'U', "AD07"},  {'I', "AD08"},  {'O', "AD09"},
    {'P', "AD10"},  {0xDB, "AD11"}, {0xDD, "AD12"}, {'A', "AC01"},  {'S', "AC02"},  {'D', "AC03"},  {'F', "AC04"},
    {'G', "AC05"},  {'H', "AC06"},  {'J', "AC07"},  {'K', "AC08"},  {'L', "AC09"},  {0xBA, "AC10"}, {0xDE, "AC11"},
    {'Z', "AB01"},  {'X', "AB02"},  {'C', "AB03"},  {'V', "AB04"},  {'B', "AB05"},  {'N', "AB06"},  {'M', "AB07"},
    {0xBC, "AB08"}, {0xBE, "AB09"}, {0xBF, "AB10"}, {0xC0, "TLDE"}, {0xDC, "BKSL"}, {0xE2, "LSGT"},
}};

// The other keys: virtual key and keysym.
struct TNamedKey {
    std::uint8_t VirtualKey;
    KeySym Symbol;
};
constexpr std::array<TNamedKey, 41> NamedKeys{{
    {3, XK_Break},
    {8, XK_BackSpace},
    {9, XK_Tab},
    {12, XK_Clear},
    {13, XK_Return},
    {VK_SHIFT, XK_Shift_L},
    {VK_CONTROL, XK_Control_L},
    {VK_MENU, XK_Alt_L},
    {20, XK_Caps_Lock},
    {27, XK_Escape},
    {32, XK_space},
    {33, XK_Prior},
    {34, XK_Next},
    {35, XK_End},
    {36, XK_Home},
    {37, XK_Left},
    {38, XK_Up},
    {39, XK_Right},
    {40, XK_Down},
    {42, XK_Print},
    {45, XK_Insert},
    {46, XK_Delete},
    {47, XK_Help},
    {112, XK_F1},
    {113, XK_F2},
    {114, XK_F3},
    {115, XK_F4},
    {116, XK_F5},
    {117, XK_F6},
    {118, XK_F7},
    {119, XK_F8},
    {120, XK_F9},
    {121, XK_F10},
    {122, XK_F11},
    {123, XK_F12},
    {124, XK_F13},
    {125, XK_F14},
    {126, XK_F15},
    {127, XK_F16},
    {144, XK_Num_Lock},
    {145, XK_Scroll_Lock},
}};

KeySym NamedKeySymbol(std::uint8_t VirtualKey) {
    for (const TNamedKey& key : NamedKeys) {
        if (key.VirtualKey == VirtualKey) {
            return key.Symbol;
        }
    }
    return NoSymbol;
}

bool IsModifierVirtualKey(std::uint8_t VirtualKey) {
    return VirtualKey == VK_SHIFT || VirtualKey == VK_CONTROL || VirtualKey == VK_MENU;
}

class X11KeySink final : public KeySink {
public:
    X11KeySink(Display* Connection, int XkbEventBase);
    ~X11KeySink() override;
    X11KeySink(const X11KeySink&) = delete;
    X11KeySink& operator=(const X11KeySink&) = delete;

    void KeyEvent(const TKeyEvent& Event) override;
    std::uint8_t ScanCode(std::uint8_t VirtualKey) override;
    std::uint16_t VkKeyScan(char Character) override;
    void ToggleNumLock() override;
    void Sync() override { XSync(FDisplay, False); }

private:
    struct TSpare {
        KeyCode Code;
        KeySym Symbol;
    };

    void LoadLayout();
    void FollowLayoutChanges();
    // Reads the keyboard group and the locked modifiers (Caps Lock) in effect.
    void ReadState();
    // The shift level a key gives in a group with the given modifiers.
    int Level(KeyCode Code, int Group, unsigned Modifiers) const;
    KeySym SymbolAt(KeyCode Code, int Group, unsigned Modifiers) const;
    // A key that gives the keysym with exactly these modifiers (plus the locked ones); 0 if none.
    KeyCode FindKey(KeySym Symbol, unsigned Modifiers, bool NeedsVirtualKey) const;
    KeyCode KeycodeFor(std::uint8_t VirtualKey);
    KeyCode SpareFor(KeySym Symbol);
    void ReleaseForeignModifiers();

    Display* FDisplay;
    int FXkbEventBase;
    XkbDescPtr FKeyboard = nullptr;
    std::array<KeyCode, 256> FPositionCode{};      // virtual key -> keycode
    std::array<std::uint8_t, 256> FPositionKey{};  // keycode -> virtual key
    std::vector<KeyCode> FModifierCodes;
    std::vector<KeyCode> FHeldByUs;
    std::deque<TSpare> FSpares;
    KeySym FPendingSymbol = NoSymbol;
    int FGroup = 0;
    unsigned FLockedModifiers = 0;
};

X11KeySink::X11KeySink(Display* Connection, int XkbEventBase) : FDisplay(Connection), FXkbEventBase(XkbEventBase) {
    XkbSelectEvents(FDisplay, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    LoadLayout();
}

X11KeySink::~X11KeySink() {
    for (const KeyCode code : FHeldByUs) {
        XTestFakeKeyEvent(FDisplay, code, False, CurrentTime);
    }
    for (const TSpare& spare : FSpares) {
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(FDisplay, spare.Code, 1, &none, 1);
    }
    XkbFreeKeyboard(FKeyboard, XkbAllComponentsMask, True);
    XCloseDisplay(FDisplay);
}

void X11KeySink::LoadLayout() {
    if (FKeyboard != nullptr) {
        XkbFreeKeyboard(FKeyboard, XkbAllComponentsMask, True);
    }
    FKeyboard = XkbGetMap(FDisplay, XkbAllClientInfoMask, XkbUseCoreKbd);
    if (FKeyboard == nullptr) {
        return;
    }
    XkbGetNames(FDisplay, XkbKeyNamesMask, FKeyboard);
    FPositionCode.fill(0);
    FPositionKey.fill(0);
    for (int code = FKeyboard->min_key_code; code <= FKeyboard->max_key_code; ++code) {
        const std::string_view name(FKeyboard->names->keys[code].name,
                                    strnlen(FKeyboard->names->keys[code].name, XkbKeyNameLength));
        for (const TPositionKey& key : PositionKeys) {
            if (key.Position == name) {
                FPositionCode[key.VirtualKey] = static_cast<KeyCode>(code);
                FPositionKey[code] = key.VirtualKey;
            }
        }
    }
    FModifierCodes.clear();
    if (XModifierKeymap* modifiers = XGetModifierMapping(FDisplay); modifiers != nullptr) {
        for (int i = 0; i < 8 * modifiers->max_keypermod; ++i) {
            if (modifiers->modifiermap[i] != 0) {
                FModifierCodes.push_back(modifiers->modifiermap[i]);
            }
        }
        XFreeModifiermap(modifiers);
    }
    // A new layout may have given the spare keycodes symbols of its own.
    std::erase_if(FSpares, [this](const TSpare& spare) { return SymbolAt(spare.Code, 0, 0) != spare.Symbol; });
}

void X11KeySink::FollowLayoutChanges() {
    bool changed = false;
    while (XEventsQueued(FDisplay, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(FDisplay, &event);
        changed = changed || event.type == FXkbEventBase || event.type == MappingNotify;
    }
    if (changed) {
        LoadLayout();
    }
}

void X11KeySink::ReadState() {
    XkbStateRec state;
    if (XkbGetState(FDisplay, XkbUseCoreKbd, &state) == Success) {
        FGroup = state.group;
        FLockedModifiers = state.locked_mods;
    }
}

int X11KeySink::Level(KeyCode Code, int Group, unsigned Modifiers) const {
    const XkbKeyTypePtr type = XkbKeyKeyType(FKeyboard, Code, Group);
    const unsigned relevant = Modifiers & type->mods.mask;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& entry = type->map[i];
        if (entry.active && entry.mods.mask == relevant) {
            return entry.level;
        }
    }
    return 0;
}

KeySym X11KeySink::SymbolAt(KeyCode Code, int Group, unsigned Modifiers) const {
    const int groups = XkbKeyNumGroups(FKeyboard, Code);
    if (groups == 0) {
        return NoSymbol;
    }
    const int group = Group % groups;
    const int level = Level(Code, group, Modifiers);
    return level < XkbKeyGroupWidth(FKeyboard, Code, group) ? XkbKeySymEntry(FKeyboard, Code, level, group) : NoSymbol;
}

KeyCode X11KeySink::FindKey(KeySym Symbol, unsigned Modifiers, bool NeedsVirtualKey) const {
    for (int code = FKeyboard->min_key_code; code <= FKeyboard->max_key_code; ++code) {
        if (NeedsVirtualKey && FPositionKey[code] == 0) {
            continue;
        }
        if (SymbolAt(static_cast<KeyCode>(code), FGroup, Modifiers | FLockedModifiers) == Symbol) {
            return static_cast<KeyCode>(code);
        }
    }
    return 0;
}

KeyCode X11KeySink::SpareFor(KeySym Symbol) {
    for (const TSpare& spare : FSpares) {
        if (spare.Symbol == Symbol) {
            return spare.Code;
        }
    }
    KeyCode code = 0;
    for (int candidate = FKeyboard->max_key_code; candidate >= FKeyboard->min_key_code && code == 0; --candidate) {
        const bool taken = std::any_of(FSpares.begin(), FSpares.end(),
                                       [candidate](const TSpare& spare) { return spare.Code == candidate; });
        if (!taken && XkbKeyNumSyms(FKeyboard, candidate) == 0) {
            code = static_cast<KeyCode>(candidate);
        }
    }
    if (code == 0) {
        if (FSpares.empty()) {
            return 0;
        }
        code = FSpares.front().Code;  // every spare in use: take the one mapped longest ago
        FSpares.pop_front();
    }
    KeySym symbol = Symbol;
    XChangeKeyboardMapping(FDisplay, code, 1, &symbol, 1);
    XSync(FDisplay, False);
    FSpares.push_back({code, Symbol});
    return code;
}

KeyCode X11KeySink::KeycodeFor(std::uint8_t VirtualKey) {
    if (FKeyboard == nullptr) {
        return 0;
    }
    if (VirtualKey == VK_PACKET) {
        return FPendingSymbol == NoSymbol ? 0 : SpareFor(FPendingSymbol);
    }
    if (FPositionCode[VirtualKey] != 0) {
        return FPositionCode[VirtualKey];
    }
    const KeySym symbol = NamedKeySymbol(VirtualKey);
    if (symbol == NoSymbol) {
        return 0;
    }
    const KeyCode code = FindKey(symbol, 0, false);
    return code != 0 ? code : SpareFor(symbol);
}

void X11KeySink::ReleaseForeignModifiers() {
    std::array<char, 32> keys{};
    XQueryKeymap(FDisplay, keys.data());
    for (const KeyCode code : FModifierCodes) {
        const bool down = (keys[code / 8] & (1 << (code % 8))) != 0;
        if (down && std::find(FHeldByUs.begin(), FHeldByUs.end(), code) == FHeldByUs.end()) {
            XTestFakeKeyEvent(FDisplay, code, False, CurrentTime);
        }
    }
}

void X11KeySink::KeyEvent(const TKeyEvent& Event) {
    FollowLayoutChanges();
    const KeyCode code = KeycodeFor(Event.VirtualKey);
    if (code == 0) {
        return;
    }
    const bool down = (Event.Flags & KEYEVENTF_KEYUP) == 0;
    if (IsModifierVirtualKey(Event.VirtualKey)) {
        std::erase(FHeldByUs, code);
        if (down) {
            FHeldByUs.push_back(code);
        }
    } else if (down) {
        ReleaseForeignModifiers();
    }
    XTestFakeKeyEvent(FDisplay, code, down ? True : False, CurrentTime);
    XFlush(FDisplay);
}

std::uint8_t X11KeySink::ScanCode(std::uint8_t VirtualKey) {
    FollowLayoutChanges();
    const KeyCode code = KeycodeFor(VirtualKey);
    return code >= 8 ? static_cast<std::uint8_t>(code - 8) : 0;
}

std::uint16_t X11KeySink::VkKeyScan(char Character) {
    const auto code = static_cast<unsigned char>(Character);
    KeySym symbol = NoSymbol;
    if ((code >= 0x20 && code < 0x7F) || code >= 0xA0) {
        symbol = code;  // Latin-1 characters are their own keysyms
    } else if (code == 10) {
        // X has no line-feed key that applications honour (Linefeed, Ctrl+J
        // and Ctrl+Return insert nothing in Qt text boxes): a line end is Return.
        symbol = XK_Return;
    } else if (code == 8 || code == 9 || code == 13 || code == 27) {
        symbol = 0xFF00 | code;  // BackSpace, Tab, Return, Escape
    } else if (code == 0x7F) {
        symbol = XK_Delete;
    } else if (code >= 1 && code <= 26) {  // other control characters: Ctrl and the letter
        const std::uint16_t letter = VkKeyScan(static_cast<char>('a' + code - 1));
        return letter == NoKey || (letter & 0xFF) == VK_PACKET ? NoKey : CtrlBit | (letter & 0xFF);
    } else {
        return NoKey;
    }
    for (const TNamedKey& key : NamedKeys) {
        if (key.Symbol == symbol) {
            return key.VirtualKey;
        }
    }
    FollowLayoutChanges();
    ReadState();
    if (FKeyboard == nullptr) {
        return NoKey;
    }
    for (const unsigned modifiers : {0U, static_cast<unsigned>(ShiftMask)}) {
        if (const KeyCode key = FindKey(symbol, modifiers, true); key != 0) {
            return FPositionKey[key] | (modifiers != 0 ? ShiftBit : 0);
        }
    }
    FPendingSymbol = symbol;
    return VK_PACKET;
}

void X11KeySink::ToggleNumLock() {
    const unsigned mask = XkbKeysymToModifiers(FDisplay, XK_Num_Lock);
    XkbStateRec state;
    if (mask == 0 || XkbGetState(FDisplay, XkbUseCoreKbd, &state) != Success) {
        return;
    }
    XkbLockModifiers(FDisplay, XkbUseCoreKbd, mask, (state.locked_mods & mask) != 0 ? 0 : mask);
    XFlush(FDisplay);
}

}  // namespace

std::unique_ptr<KeySink> OpenSystemKeySink() {
    const std::string unavailable = "Keyboard output is unavailable: ";
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return std::make_unique<UnavailableKeySink>(unavailable + "cannot open the X display \"" +
                                                    XDisplayName(nullptr) + "\"");
    }
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (XTestQueryExtension(display, &event, &error, &major, &minor) == False) {
        XCloseDisplay(display);
        return std::make_unique<UnavailableKeySink>(unavailable + "the X server has no XTEST extension");
    }
    int opcode = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (XkbQueryExtension(display, &opcode, &event, &error, &major, &minor) == False) {
        XCloseDisplay(display);
        return std::make_unique<UnavailableKeySink>(unavailable + "the X server has no XKEYBOARD extension");
    }
    return std::make_unique<X11KeySink>(display, event);
}

}  // namespace platform
