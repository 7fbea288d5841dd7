#pragma once

#include <QColor>
#include <QFont>
#include <QStringList>
#include <array>

namespace kit {

// Start-up remnants of a serial-port component set: a terminal font and a
// table of error texts registered for translation. Nothing in the program
// reads either; their one effect is the "serialport" text domain.

// The 23 error texts in table order, in English.
extern const std::array<const char*, 23> SerialErrorMessages;

struct TTerminalFont {
    QFont Font;
    QColor Color;
};

// Creates the terminal font ("Fixedsys", 9 point, white), appends the text
// domain "serialport" to the resource-string domains and fills the error-text
// table with the translations of SerialErrorMessages. Runs once; later calls
// do nothing.
void InitSerialStartup();

// The terminal font and the translated error texts (empty before start-up).
const TTerminalFont& TerminalFont();
const QStringList& SerialErrorTexts();

}  // namespace kit
