#pragma once

#include "kit/exception.h"

namespace kit {

// The error every dataset operation raises: the message is the one shown to the user.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kit
