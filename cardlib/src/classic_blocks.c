/* Mifare Classic blocks read and written with a key the caller sends, value
 * blocks, and the value operations with their transfer. */
#include <string.h>

#include "exchange.h"
#include "talvo_mifare.h"

enum {
    READ_KEY_A = 0x21,
    READ_KEY_B = 0x22,
    WRITE_KEY_A = 0x23,
    WRITE_KEY_B = 0x24,
    INCREMENT = 0xF4,
    DECREMENT = 0xF5,
    RESTORE = 0xF6,
    AUTHENTICATE_KEY_A = 0x60, /* the card's own authentication codes */
    READ_BYTES = 1 + KEY_BYTES,
    WRITE_BYTES = 1 + KEY_BYTES + BLOCK_BYTES,
    VALUE_OPERATION_BYTES = 20
};

int32_t mfClassicReadHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* key, uint8_t keyType,
                          char* frame, uint8_t* frameLength) {
    uint8_t data[READ_BYTES];
    if (!validKey(key, keyType)) {
        return 6;
    }
    if (!blockNumber(sector, block, &data[0])) {
        return 7;
    }
    memcpy(data + 1, key, KEY_BYTES);
    return hostRequest(address, (uint8_t)(READ_KEY_A + keyType), data, READ_BYTES, frame, frameLength);
}

int32_t mfClassicReadTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* blockData) {
    return dataAnswer(address, READ_KEY_A, READ_KEY_B, BLOCK_BYTES, answer, answerLength, blockData);
}

int32_t mfClassicWriteHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* blockData, const uint8_t* key,
                           uint8_t keyType, char* frame, uint8_t* frameLength) {
    uint8_t data[WRITE_BYTES];
    if (!validKey(key, keyType)) {
        return 6;
    }
    if (blockData == NULL) {
        return 1;
    }
    if (!blockNumber(sector, block, &data[0])) {
        return 7;
    }
    memcpy(data + 1, key, KEY_BYTES);
    memcpy(data + 1 + KEY_BYTES, blockData, BLOCK_BYTES);
    return hostRequest(address, (uint8_t)(WRITE_KEY_A + keyType), data, WRITE_BYTES, frame, frameLength);
}

int32_t mfClassicWriteTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, WRITE_KEY_A, WRITE_KEY_B, answer, answerLength);
}

int32_t mfCreateValueBlockHost(uint8_t address, uint8_t sector, uint8_t block, const int32_t* value,
                               uint8_t valueAddress, const uint8_t* key, uint8_t keyType, char* frame,
                               uint8_t* frameLength) {
    if (value == NULL) {
        return 1;
    }
    uint8_t valueBlock[BLOCK_BYTES];
    const uint32_t bits = (uint32_t)*value;
    for (int i = 0; i < 4; ++i) {
        const uint8_t byte = (uint8_t)(bits >> (8 * i));
        valueBlock[i] = byte;
        valueBlock[4 + i] = (uint8_t)~byte;
        valueBlock[8 + i] = byte;
    }
    valueBlock[12] = valueAddress;
    valueBlock[13] = (uint8_t)~valueAddress;
    valueBlock[14] = valueAddress;
    valueBlock[15] = (uint8_t)~valueAddress;
    return mfClassicWriteHost(address, sector, block, valueBlock, key, keyType, frame, frameLength);
}

int32_t mfCreateValueBlockTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return mfClassicWriteTerminal(address, answer, answerLength);
}

/* The value operations share one request: the value block with its key, the
 * four value bytes (zero for a restore), the transfer block with its key. */
static int32_t valueOperationHost(uint8_t command, uint8_t address, uint8_t sector, uint8_t block, const uint8_t* value,
                                  const uint8_t* key, uint8_t keyType, uint8_t transferSector, uint8_t transferBlock,
                                  const uint8_t* transferKey, uint8_t transferKeyType, char* frame,
                                  uint8_t* frameLength) {
    static const uint8_t noValue[4] = {0, 0, 0, 0};
    uint8_t data[VALUE_OPERATION_BYTES];
    if (!validKey(key, keyType) || !validKey(transferKey, transferKeyType)) {
        return 6;
    }
    if (command == RESTORE) {
        value = noValue;
    } else if (value == NULL) {
        return 1;
    }
    if (!blockNumber(sector, block, &data[0]) || !blockNumber(transferSector, transferBlock, &data[12])) {
        return 7;
    }
    data[1] = (uint8_t)(AUTHENTICATE_KEY_A + keyType);
    memcpy(data + 2, key, KEY_BYTES);
    memcpy(data + 8, value, 4);
    data[13] = (uint8_t)(AUTHENTICATE_KEY_A + transferKeyType);
    memcpy(data + 14, transferKey, KEY_BYTES);
    return hostRequest(address, command, data, VALUE_OPERATION_BYTES, frame, frameLength);
}

int32_t mfIncrementHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* value, const uint8_t* key,
                        uint8_t keyType, uint8_t transferSector, uint8_t transferBlock, const uint8_t* transferKey,
                        uint8_t transferKeyType, char* frame, uint8_t* frameLength) {
    return valueOperationHost(INCREMENT, address, sector, block, value, key, keyType, transferSector, transferBlock,
                              transferKey, transferKeyType, frame, frameLength);
}

int32_t mfIncrementTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, INCREMENT, INCREMENT, answer, answerLength);
}

int32_t mfDecrementHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* value, const uint8_t* key,
                        uint8_t keyType, uint8_t transferSector, uint8_t transferBlock, const uint8_t* transferKey,
                        uint8_t transferKeyType, char* frame, uint8_t* frameLength) {
    return valueOperationHost(DECREMENT, address, sector, block, value, key, keyType, transferSector, transferBlock,
                              transferKey, transferKeyType, frame, frameLength);
}

int32_t mfDecrementTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, DECREMENT, DECREMENT, answer, answerLength);
}

int32_t mfRestoreHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* key, uint8_t keyType,
                      uint8_t transferSector, uint8_t transferBlock, const uint8_t* transferKey,
                      uint8_t transferKeyType, char* frame, uint8_t* frameLength) {
    return valueOperationHost(RESTORE, address, sector, block, NULL, key, keyType, transferSector, transferBlock,
                              transferKey, transferKeyType, frame, frameLength);
}

int32_t mfRestoreTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, RESTORE, RESTORE, answer, answerLength);
}
