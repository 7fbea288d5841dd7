#include "reader/mifare_dll.h"

#include <memory>

#include "platform/dynamic_library.h"

namespace reader {

namespace {

int32_t NoLibVer(char* /*Text*/, int32_t /*Size*/) { return 1; }
int32_t NoReadCardBufferHost(uint8_t /*Address*/, char* /*Frame*/, uint8_t* /*FrameLength*/) { return 1; }
int32_t NoReadCardBufferTerminal(uint8_t /*Address*/, const char* /*Answer*/, uint8_t /*AnswerLength*/,
                                 char* /*Code*/) {
    return 1;
}

std::unique_ptr<platform::DynamicLibrary> MifareLibrary;

}  // namespace

TMifareLibVer mifareLibVer = NoLibVer;
TReadCardBufferHost readCardBufferHost = NoReadCardBufferHost;
TReadCardBufferTerminal readCardBufferTerminal = NoReadCardBufferTerminal;

void LoadMifareDLL(std::string_view WindowsName) {
    FreeMifareDLL();
    auto library = platform::DynamicLibrary::Load(WindowsName);
    if (library == nullptr) {
        return;
    }
    void* entries[3] = {};
    const platform::EntryBinding bindings[] = {
        {"mifareLibVer", &entries[0]},
        {"readCardBufferHost", &entries[1]},
        {"readCardBufferTerminal", &entries[2]},
    };
    if (!library->BindAll(bindings)) {
        return;  // the incomplete library is released here, not kept to the end
    }
    mifareLibVer = reinterpret_cast<TMifareLibVer>(entries[0]);
    readCardBufferHost = reinterpret_cast<TReadCardBufferHost>(entries[1]);
    readCardBufferTerminal = reinterpret_cast<TReadCardBufferTerminal>(entries[2]);
    MifareLibrary = std::move(library);
}

void FreeMifareDLL() {
    mifareLibVer = NoLibVer;
    readCardBufferHost = NoReadCardBufferHost;
    readCardBufferTerminal = NoReadCardBufferTerminal;
    MifareLibrary.reset();
}

bool MifareDLLLoaded() { return MifareLibrary != nullptr; }

}  // namespace reader
