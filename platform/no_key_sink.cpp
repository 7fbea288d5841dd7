#include "platform/key_sink.h"

namespace platform {

// Built without the X11 development files: there is no way to type.
std::unique_ptr<KeySink> OpenSystemKeySink() {
    return std::make_unique<UnavailableKeySink>("Keyboard output is unavailable: built without X11 keyboard support");
}

}  // namespace platform
