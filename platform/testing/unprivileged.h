#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace platform::testing {

// Runs a scope as an ordinary user, since root may write any file: a root
// process takes the effective IDs of "nobody" (65534) for as long as this
// lives. A process that is no root already is one. Active() is false, and
// Reason() says why, when the switch fails.
class Unprivileged {
public:
    static constexpr uid_t Nobody = 65534;

    Unprivileged() {
        if (::geteuid() != 0) {
            FActive = true;
            return;
        }
        if (::setegid(Nobody) != 0 || ::seteuid(Nobody) != 0) {
            FReason = std::string("cannot run as an ordinary user: ") + std::strerror(errno);
            Restore();
            return;
        }
        FSwitched = FActive = true;
    }
    ~Unprivileged() {
        if (FSwitched) {
            Restore();
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    bool Active() const { return FActive; }
    const std::string& Reason() const { return FReason; }

private:
    static void Restore() {
        if (::seteuid(0) != 0 || ::setegid(0) != 0) {
            std::abort();
        }
    }

    std::string FReason;
    bool FActive = false;
    bool FSwitched = false;
};

}  // namespace platform::testing
