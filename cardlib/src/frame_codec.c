#include "frame_codec.h"

#include <string.h>

enum { SOH = 0x01, STX = 0x02, ETX = 0x03, ANSWER_LETTER = 's', REQUEST_LETTER = 'S' };

static int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

void initRequest(FrameRecord* record, uint8_t address, uint8_t command, uint8_t length) {
    memset(record, 0, sizeof *record);
    record->address = address;
    record->command = command;
    record->length = length;
}

bool putFrameData(FrameRecord* record, unsigned pos, const uint8_t* bytes, unsigned count) {
    if (pos + count > record->length || pos + count > sizeof record->data) {
        return false;
    }
    memcpy(record->data + pos, bytes, count);
    return true;
}

char frameChecksum(const char* bytes, unsigned count) {
    unsigned char check = 0;
    for (unsigned i = 0; i < count; ++i) {
        check ^= (unsigned char)bytes[i];
    }
    return (char)(check | 0x20);
}

void hexEncode(const uint8_t* bytes, unsigned characters, char* out) {
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned i = 0; i < characters; ++i) {
        const uint8_t byte = bytes[i / 2];
        out[i] = digits[i % 2 == 0 ? byte >> 4 : byte & 0x0F];
    }
}

void hexDecode(uint8_t* out, unsigned characters, const char* in) {
    for (unsigned i = 0; i < characters; ++i) {
        const int value = hexValue(in[i]);
        if (value < 0) {
            return;
        }
        if (i % 2 == 0) {
            out[i / 2] = (uint8_t)(value << 4);
        } else {
            out[i / 2] |= (uint8_t)value;
        }
    }
}

bool isHexText(const char* in, unsigned characters) {
    for (unsigned i = 0; i < characters; ++i) {
        if (hexValue(in[i]) < 0) {
            return false;
        }
    }
    return true;
}

int buildCommandFrame(char* frame, const FrameRecord* record, uint8_t* frameLength) {
    const unsigned n = record->length;
    if (2 * n > 2 * FRAME_MAX_REQUEST_DATA || record->address > FRAME_MAX_ADDRESS || frame == NULL ||
        frameLength == NULL) {
        return 1;
    }
    *frameLength = 0;
    unsigned pos = 0;
    frame[pos++] = SOH;
    frame[pos++] = REQUEST_LETTER;
    hexEncode(&record->address, 2, frame + pos);
    pos += 2;
    hexEncode(&record->command, 2, frame + pos);
    pos += 2;
    frame[pos++] = STX;
    hexEncode(record->data, 2 * n, frame + pos);
    pos += 2 * n;
    frame[pos++] = ETX;
    frame[pos] = frameChecksum(frame, pos);
    *frameLength = (uint8_t)(pos + 1);
    return 0;
}

int parseResponseFrame(uint8_t answerLength, FrameRecord* record, const char* answer) {
    const unsigned length = answerLength;
    if (answer == NULL || length > FRAME_MAX_ANSWER || length < FRAME_SHORTEST || answer[0] != SOH ||
        answer[1] != ANSWER_LETTER || frameChecksum(answer, length - 1) != answer[length - 1]) {
        return 1;
    }
    /* The address and command must be numbers; a reader that sends anything
     * else there has not answered. */
    if (!isHexText(answer + 2, 4)) {
        return 1;
    }
    const unsigned textLength = length - FRAME_SHORTEST;
    record->length = (uint8_t)(textLength / 2);
    hexDecode(&record->address, 2, answer + 2);
    hexDecode(&record->command, 2, answer + 4);
    hexDecode(record->data, 2 * record->length, answer + 7);
    memcpy(record->text, answer + 7, textLength);
    record->text[textLength] = '\0';
    return 0;
}

int checkResponse(const FrameRecord* record, uint8_t address, uint8_t command, uint8_t expectedLength) {
    if (record->address != address) {
        return CLASS_WRONG_ADDRESS;
    }
    if (record->command != command) {
        return CLASS_WRONG_COMMAND;
    }
    if (strncmp(record->text, "OK", 2) == 0) {
        return CLASS_OK;
    }
    if (strncmp(record->text, "ERROR", 5) == 0) {
        return CLASS_ERROR;
    }
    return record->length == expectedLength ? CLASS_DATA : CLASS_OTHER;
}

int decodeResponse(uint8_t address, uint8_t command, uint8_t expectedLength, const char* answer, uint8_t answerLength,
                   FrameRecord* record) {
    memset(record, 0, sizeof *record);
    if (parseResponseFrame(answerLength, record, answer) != 0) {
        return 1;
    }
    return checkResponse(record, address, command, expectedLength);
}

bool blockNumber(uint8_t sector, uint8_t block, uint8_t* absolute) {
    if (sector > 39 || block >= (sector < 32 ? 4 : 16)) {
        return false;
    }
    *absolute = (uint8_t)(sector <= 32 ? 4 * sector + block : 16 * (sector - 24) + block);
    return true;
}
