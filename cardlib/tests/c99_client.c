/* A C99 program against the public header: it must compile warning-free and
 * link and run against the library. */
#include <stdio.h>
#include <string.h>

#include "talvo_mifare.h"

int main(void) {
    char text[64];
    if (mifareLibVer(text, (int32_t)sizeof text) != 0 || strncmp(text, "Talvo Mifare Lib ver - ", 23) != 0) {
        puts("mifareLibVer failed");
        return 1;
    }
    char frame[64];
    uint8_t length = 0;
    if (readCardBufferHost(1, frame, &length) != 0 || length != 9) {
        puts("readCardBufferHost failed");
        return 1;
    }
    puts(text);
    return 0;
}
