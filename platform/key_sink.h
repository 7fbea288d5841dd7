#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace platform {

// Flag bits of a key event, with the values Windows programs know them by.
inline constexpr std::uint32_t KEYEVENTF_EXTENDEDKEY = 1;
inline constexpr std::uint32_t KEYEVENTF_KEYUP = 2;

// One synthetic key event: a Windows virtual key, its scan code and the flags.
struct TKeyEvent {
    std::uint8_t VirtualKey = 0;
    std::uint8_t ScanCode = 0;
    std::uint32_t Flags = 0;

    bool operator==(const TKeyEvent&) const = default;
};

// Windows virtual keys that the interpreter and the sinks name.
inline constexpr std::uint8_t VK_BACK = 8;
inline constexpr std::uint8_t VK_RETURN = 13;
inline constexpr std::uint8_t VK_SHIFT = 16;
inline constexpr std::uint8_t VK_CONTROL = 17;
inline constexpr std::uint8_t VK_MENU = 18;
inline constexpr std::uint8_t VK_NUMLOCK = 144;

// A key with shift state: the virtual key in the low byte, these modifier bits
// in the high byte. NoKey: the character has no key.
inline constexpr std::uint16_t ShiftBit = 0x100;
inline constexpr std::uint16_t CtrlBit = 0x200;
inline constexpr std::uint16_t AltBit = 0x400;
inline constexpr std::uint16_t NoKey = 0xFFFF;

// Where synthetic keyboard input goes. Keys are named by Windows virtual-key
// codes; each sink maps them onto its keyboard.
class KeySink {
public:
    virtual ~KeySink() = default;

    // Empty when the sink can type; otherwise the reason it cannot, for the user.
    virtual std::string UnavailableReason() const { return {}; }

    // Sends one key event to whatever window has the keyboard focus.
    virtual void KeyEvent(const TKeyEvent& Event) = 0;
    // The low byte of the scan code of a virtual key (0 when it has none).
    virtual std::uint8_t ScanCode(std::uint8_t VirtualKey) = 0;
    // A character as a virtual key in the low byte and the modifiers it needs in
    // the high byte (1 Shift, 2 Ctrl, 4 Alt) in the current layout; NoKey if none.
    virtual std::uint16_t VkKeyScan(char Character) = 0;
    // Flips the NumLock toggle without sending a key event.
    virtual void ToggleNumLock() = 0;
    // Returns once every event sent so far has been handled by the system.
    virtual void Sync() = 0;
};

// The sink for this desktop: the X11 one when the program was built with it and
// a display is reachable, otherwise one that reports why keyboard output is
// unavailable.
std::unique_ptr<KeySink> OpenSystemKeySink();

// A sink that types nothing and says why.
class UnavailableKeySink final : public KeySink {
public:
    explicit UnavailableKeySink(std::string Reason) : FReason(std::move(Reason)) {}

    std::string UnavailableReason() const override { return FReason; }
    void KeyEvent(const TKeyEvent&) override {}
    std::uint8_t ScanCode(std::uint8_t) override { return 0; }
    std::uint16_t VkKeyScan(char) override { return NoKey; }
    void ToggleNumLock() override {}
    void Sync() override {}

private:
    std::string FReason;
};

}  // namespace platform
