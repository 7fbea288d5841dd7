#include "exchange.h"

#include <string.h>

int32_t hostRequest(uint8_t address, uint8_t command, const uint8_t* data, uint8_t length, char* frame,
                    uint8_t* frameLength) {
    FrameRecord record;
    initRequest(&record, address, command, length);
    if (length > 0 && !putFrameData(&record, 0, data, length)) {
        return 1;
    }
    return buildCommandFrame(frame, &record, frameLength) == 0 ? 0 : 1;
}

int decodeAnswer(uint8_t address, uint8_t command, uint8_t alternate, uint8_t expectedLength, const char* answer,
                 uint8_t answerLength, FrameRecord* record) {
    int classification = decodeResponse(address, command, expectedLength, answer, answerLength, record);
    if (classification == CLASS_WRONG_COMMAND && alternate != command) {
        classification = decodeResponse(address, alternate, expectedLength, answer, answerLength, record);
    }
    /* The codec stops decoding at the first non-hex character and leaves the
     * rest zero: handing such bytes out would report a garbled answer as the
     * card's data. */
    if (classification == CLASS_DATA && !isHexText(record->text, (unsigned)answerLength - FRAME_SHORTEST)) {
        return CLASS_OTHER;
    }
    return classification;
}

int32_t okAnswer(uint8_t address, uint8_t command, uint8_t alternate, const char* answer, uint8_t answerLength) {
    FrameRecord record;
    return decodeAnswer(address, command, alternate, 0, answer, answerLength, &record) == CLASS_OK ? 0 : 1;
}

int32_t dataAnswer(uint8_t address, uint8_t command, uint8_t alternate, uint8_t expectedLength, const char* answer,
                   uint8_t answerLength, uint8_t* out) {
    FrameRecord record;
    if (out == NULL ||
        decodeAnswer(address, command, alternate, expectedLength, answer, answerLength, &record) != CLASS_DATA) {
        return 1;
    }
    memcpy(out, record.data, expectedLength);
    return 0;
}

bool validKey(const uint8_t* key, uint8_t keyType) { return key != NULL && keyType <= 1; }
