#pragma once

#include <cstdint>
#include <string_view>

namespace reader {

// The card library's entries that the tool binds at start-up (it calls none
// of them). Until LoadMifareDLL binds the library, and whenever the library or
// any one of the three entries is missing, they are substitutes that touch no
// argument and return 1.
using TMifareLibVer = int32_t (*)(char* Text, int32_t Size);
using TReadCardBufferHost = int32_t (*)(uint8_t Address, char* Frame, uint8_t* FrameLength);
using TReadCardBufferTerminal = int32_t (*)(uint8_t Address, const char* Answer, uint8_t AnswerLength, char* Code);

extern TMifareLibVer mifareLibVer;
extern TReadCardBufferHost readCardBufferHost;
extern TReadCardBufferTerminal readCardBufferTerminal;

// Loads the card library by its Windows name (program folder first, then the
// loader's search path) and binds the three entries, all or none. A library
// that lacks an entry is released at once. Never fails loudly: without the
// library the substitutes stay. Call once at start-up; the name is only ever
// changed by tests.
void LoadMifareDLL(std::string_view WindowsName = "TalvoMifare.dll");

// Puts the substitutes back and releases the library; call when the program
// ends.
void FreeMifareDLL();

// True while the library is loaded and bound.
bool MifareDLLLoaded();

}  // namespace reader
