/* Keys held in the reader's slots, and block access with those keys. */
#include <string.h>

#include "exchange.h"
#include "talvo_mifare.h"

enum {
    READ_STORED = 0x25,
    SET_KEY_A = 0x2A,
    SET_KEY_B = 0x2B,
    DELETE_SLOT = 0x2C,
    WRITE_STORED = 0x2D,
    HIGHEST_SLOT = 40
};

int32_t mfRssSetHost(uint8_t address, uint8_t slot, const uint8_t* key, uint8_t keyType, char* frame,
                     uint8_t* frameLength) {
    if (!validKey(key, keyType)) {
        return 6;
    }
    if (slot > HIGHEST_SLOT) {
        return 9;
    }
    uint8_t data[1 + KEY_BYTES];
    data[0] = slot;
    memcpy(data + 1, key, KEY_BYTES);
    return hostRequest(address, (uint8_t)(SET_KEY_A + keyType), data, sizeof data, frame, frameLength);
}

int32_t mfRssSetTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, SET_KEY_A, SET_KEY_B, answer, answerLength);
}

int32_t mfRssDelHost(uint8_t address, uint8_t slot, char* frame, uint8_t* frameLength) {
    if (slot > HIGHEST_SLOT) {
        return 9;
    }
    return hostRequest(address, DELETE_SLOT, &slot, 1, frame, frameLength);
}

int32_t mfRssDelTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, DELETE_SLOT, DELETE_SLOT, answer, answerLength);
}

int32_t mfRssReadHost(uint8_t address, uint8_t sector, uint8_t block, char* frame, uint8_t* frameLength) {
    uint8_t absolute = 0;
    if (!blockNumber(sector, block, &absolute)) {
        return 7;
    }
    return hostRequest(address, READ_STORED, &absolute, 1, frame, frameLength);
}

int32_t mfRssReadTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* blockData) {
    return dataAnswer(address, READ_STORED, READ_STORED, BLOCK_BYTES, answer, answerLength, blockData);
}

int32_t mfRssWriteHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* blockData, char* frame,
                       uint8_t* frameLength) {
    uint8_t data[1 + BLOCK_BYTES];
    if (blockData == NULL) {
        return 1;
    }
    if (!blockNumber(sector, block, &data[0])) {
        return 7;
    }
    memcpy(data + 1, blockData, BLOCK_BYTES);
    return hostRequest(address, WRITE_STORED, data, sizeof data, frame, frameLength);
}

int32_t mfRssWriteTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, WRITE_STORED, WRITE_STORED, answer, answerLength);
}
