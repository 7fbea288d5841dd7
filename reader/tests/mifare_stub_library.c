/* A card library that lacks readCardBufferTerminal: the binding must refuse it
 * as a whole. */
#include <stdint.h>
#include <string.h>

int32_t mifareLibVer(char* text, int32_t size) {
    if (text != NULL && size > 4) {
        memcpy(text, "stub", 5);
    }
    return 0;
}

int32_t readCardBufferHost(uint8_t address, char* frame, uint8_t* frameLength) {
    (void)address;
    (void)frame;
    (void)frameLength;
    return 0;
}
