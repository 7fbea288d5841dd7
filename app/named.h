#pragma once

#include <QObject>

namespace app {

// Control with its component name set, as windows are built in code.
template <typename T>
T* Named(T* Control, const char* Name) {
    Control->setObjectName(QString::fromLatin1(Name));
    return Control;
}

}  // namespace app
