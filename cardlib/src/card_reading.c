/* Reading a card: the card-code text (card buffer) and the card ID bytes. */
#include <string.h>

#include "exchange.h"
#include "talvo_mifare.h"

enum { READ_CARD_BUFFER = 0xA1, READ_CARD_ID = 0x20, CARD_CODE_PAIRS = 8, CARD_CODE_CHARACTERS = 17 };

int32_t readCardBufferHost(uint8_t address, char* frame, uint8_t* frameLength) {
    return hostRequest(address, READ_CARD_BUFFER, NULL, 0, frame, frameLength);
}

int32_t readCardBufferTerminal(uint8_t address, const char* answer, uint8_t answerLength, char* code) {
    FrameRecord record;
    if (code == NULL) {
        return 1;
    }
    /* The code is handed on as the reader's text, letter included, so the
     * data field is not held to hexadecimal digits here. */
    const int classification =
        decodeResponse(address, READ_CARD_BUFFER, CARD_CODE_PAIRS, answer, answerLength, &record);
    if (classification == 1) {
        return 1;
    }
    if (classification == CLASS_DATA) {
        if (record.text[0] != 'R' && record.text[0] != 'T') {
            return 5;
        }
        /* A 16-character field brings its terminating NUL as the 17th. */
        memcpy(code, record.text, CARD_CODE_CHARACTERS);
        code[CARD_CODE_CHARACTERS] = '\0';
        return 0;
    }
    return classification == CLASS_OTHER && record.length == 0 ? 5 : 4;
}

int32_t readCardIDHost(uint8_t address, char* frame, uint8_t* frameLength) {
    return hostRequest(address, READ_CARD_ID, NULL, 0, frame, frameLength);
}

int32_t readCardIDTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* id, uint8_t* idLength) {
    FrameRecord record;
    if (id == NULL || idLength == NULL) {
        return 1;
    }
    *idLength = 0;
    /* Any number of identifier bytes is accepted: expect as many as the
     * answer's data field holds. */
    const uint8_t carried = answerLength >= FRAME_SHORTEST ? (uint8_t)((answerLength - FRAME_SHORTEST) / 2) : 0;
    const int classification =
        decodeAnswer(address, READ_CARD_ID, READ_CARD_ID, carried, answer, answerLength, &record);
    if (classification == 1) {
        return 1;
    }
    if (classification != CLASS_DATA) {
        return 4;
    }
    memcpy(id, record.data, record.length);
    *idLength = record.length;
    return 0;
}
