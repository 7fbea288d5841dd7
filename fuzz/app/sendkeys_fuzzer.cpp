// Types arbitrary keystroke strings into a sink that follows which keys are
// down: the only error that may leave SendKeys is the conversion error of a
// bad repeat count, and whatever way it ends, every key it pressed is up.
//
// Input: byte 0 bit 0 sets Wait; the rest is the keystroke string.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/send_keys.h"
#include "fuzz/fuzz_support.h"
#include "platform/testing/recording_key_sink.h"

namespace {

// Keeps the state of each key instead of every event (a repeat count can ask
// for 65535 key presses); characters and scan codes come from the recording
// sink's fixed layout.
class TKeyStateSink final : public platform::KeySink {
public:
    void KeyEvent(const platform::TKeyEvent& Event) override {
        FDown[Event.VirtualKey] = (Event.Flags & platform::KEYEVENTF_KEYUP) == 0;
    }
    std::uint8_t ScanCode(std::uint8_t VirtualKey) override { return FLayout.ScanCode(VirtualKey); }
    std::uint16_t VkKeyScan(char Character) override { return FLayout.VkKeyScan(Character); }
    void ToggleNumLock() override {}
    void Sync() override {}

    bool AnyDown() const {
        for (const bool down : FDown) {
            if (down) {
                return true;
            }
        }
        return false;
    }

private:
    platform::testing::RecordingKeySink FLayout;
    std::array<bool, 256> FDown{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Longer strings only repeat what short ones reach, more slowly.
    if (size < 1 || size > 512) {
        return 0;
    }
    const bool wait = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    TKeyStateSink sink;
    const app::TKeyOutput output{sink, [](const std::string&) {}, [] {}};
    try {
        app::SendKeys(text, wait, output);
    } catch (const app::EConvertError&) {
    }
    fuzz::Require(!sink.AnyDown());
    return 0;
}
