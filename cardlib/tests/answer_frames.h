// Answer frames for the card library's tests, built here rather than with the
// library's own codec so that a fault in the codec cannot hide in both.
#pragma once

#include <string>

namespace cardtest {

// The text with its check character appended: XOR of all bytes, OR 0x20.
inline std::string Checked(std::string body) {
    unsigned char check = 0;
    for (const char c : body) {
        check ^= static_cast<unsigned char>(c);
    }
    body += static_cast<char>(check | 0x20);
    return body;
}

// An answer from `address` with `command` (two characters each) whose data
// field is `text`.
inline std::string Answer(const std::string& address, const std::string& command, const std::string& text) {
    return Checked("\x01s" + address + command + "\x02" + text + "\x03");
}

}  // namespace cardtest
