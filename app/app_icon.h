#pragma once

#include <QIcon>

namespace app {

// The program's icon: a card in front of a reader, drawn at 16, 32 and 48 pixels.
QIcon AppIcon();

}  // namespace app
