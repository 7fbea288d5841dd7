/* The reader's own identifier and its microcontroller's unique identifier. */
#include <string.h>

#include "exchange.h"
#include "talvo_mifare.h"

enum { SET_READER_UID = 0xEE, READ_MCU_UID = 0xEF, UID_BYTES = 16, READER_UID_CHARACTERS = 16, DATA_START = 7 };

int32_t readMcuUidHost(uint8_t address, char* frame, uint8_t* frameLength) {
    return hostRequest(address, READ_MCU_UID, NULL, 0, frame, frameLength);
}

int32_t readMcuUidTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* uid) {
    FrameRecord record;
    if (uid == NULL) {
        return 1;
    }
    const int classification =
        decodeAnswer(address, READ_MCU_UID, READ_MCU_UID, UID_BYTES, answer, answerLength, &record);
    if (classification != CLASS_DATA) {
        return classification == 1 ? 1 : 4;
    }
    memcpy(uid, record.data, UID_BYTES);
    return 0;
}

int32_t setReaderUidHost(uint8_t address, const char* uid, char* frame, uint8_t* frameLength) {
    if (uid == NULL || frame == NULL || frameLength == NULL) {
        return 1;
    }
    /* The identifier travels as the caller's 16 characters, not hex-encoded:
     * build a frame of the final length, then put them in its data field and
     * compute the check character afresh. */
    uint8_t length = 0;
    char request[FRAME_SHORTEST + READER_UID_CHARACTERS];
    if (hostRequest(address, SET_READER_UID, (const uint8_t*)uid, READER_UID_CHARACTERS / 2, request, &length) != 0) {
        return 1;
    }
    memcpy(request + DATA_START, uid, READER_UID_CHARACTERS);
    request[length - 1] = frameChecksum(request, length - 1U);
    memcpy(frame, request, length);
    *frameLength = length;
    return 0;
}

int32_t setReaderUidTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, SET_READER_UID, SET_READER_UID, answer, answerLength);
}
