#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "kit/exception.h"
#include "platform/key_sink.h"

namespace app {

// The toolkit's error for a text that is not an integer.
class EConvertError : public kit::Exception {
public:
    using kit::Exception::Exception;
};

// The toolkit's string-to-integer conversion: leading blanks, an optional sign,
// then decimal digits, or hexadecimal digits after "$", "X" or "0X" (either
// case); nothing may follow. Raises EConvertError for anything else and for
// values outside the signed 32-bit range.
std::int32_t StrToInt(std::string_view Text);

// Caption of the message boxes in which SendKeys reports malformed strings.
inline constexpr const char* SendKeysCaption = "SendKeys";

// What SendKeys works with: the keyboard, a way to show a report to the user
// (a modal box captioned SendKeysCaption in the program) and the message pump
// run after every event when the caller asks to wait. Either function may be
// left empty: reports are then dropped, and waiting only syncs with the sink.
struct TKeyOutput {
    platform::KeySink& Sink;
    std::function<void(const std::string& Message)> Report;
    std::function<void()> PumpMessages;
};

// Types a keystroke string into the window that has the keyboard focus.
// Returns false for an empty string, a brace group without its closing brace
// and a keyboard that cannot be typed on (each reported); true otherwise.
// A repeat count that is not an integer raises EConvertError. So does a
// count outside 0 to 65535, with "Repeat count '<count>' is not in the range 0
// to 65535", rather than being cut to its low 16 bits: {ENTER -1} would
// otherwise type 65,535 Enters, which no caller means.
// Modifiers the string pressed are released on every way out.
bool SendKeys(std::string_view Text, bool Wait, const TKeyOutput& Output);

}  // namespace app
