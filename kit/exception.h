#pragma once

#include <QString>
#include <stdexcept>

namespace kit {

// Base of every error the kit raises; the message is the text shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& Message) : std::runtime_error(Message.toStdString()) {}
    explicit Exception(const char* Message) : std::runtime_error(Message) {}

    QString Message() const { return QString::fromUtf8(what()); }
};

}  // namespace kit
