#pragma once

#include <vector>

#include "platform/key_sink.h"

namespace platform::testing {

// A sink that keeps every event instead of typing it. Characters and scan codes
// come from a fixed US keyboard layout, so tests do not depend on the machine.
class RecordingKeySink final : public KeySink {
public:
    void KeyEvent(const TKeyEvent& Event) override { Events.push_back(Event); }
    std::uint8_t ScanCode(std::uint8_t VirtualKey) override;
    std::uint16_t VkKeyScan(char Character) override;
    void ToggleNumLock() override { NumLockOn = !NumLockOn; }
    void Sync() override { ++Syncs; }

    std::vector<TKeyEvent> Events;
    bool NumLockOn = false;
    int Syncs = 0;
};

}  // namespace platform::testing
