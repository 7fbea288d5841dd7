/* The card library's frame codec: builds command frames for Mifare readers and
 * parses and classifies their answers. Every export is a thin layer over it. */
#ifndef TALVO_MIFARE_FRAME_CODEC_H
#define TALVO_MIFARE_FRAME_CODEC_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    FRAME_MAX_REQUEST_DATA = 27, /* data bytes in a request: 2n + 9 <= 63 */
    FRAME_MAX_ANSWER = 64,       /* bytes in an answer frame */
    FRAME_MAX_ADDRESS = 99,
    FRAME_SHORTEST = 9
};

/* Answer classifications, in the order they are tested. */
enum {
    CLASS_WRONG_ADDRESS = 2,
    CLASS_WRONG_COMMAND = 3,
    CLASS_OTHER = 4,
    CLASS_OK = 6,
    CLASS_ERROR = 7,
    CLASS_DATA = 8
};

/* One frame: the request being built or the answer being decoded. Lives on the
 * caller's stack for one export call. */
typedef struct FrameRecord {
    uint8_t address;
    uint8_t command;
    uint8_t length;                  /* number of data bytes n */
    uint8_t data[FRAME_MAX_ANSWER];  /* data bytes as values */
    char text[FRAME_MAX_ANSWER + 1]; /* answer: the raw data-field characters, NUL-terminated */
} FrameRecord;

/* Starts a request record with n zeroed data bytes. */
void initRequest(FrameRecord* record, uint8_t address, uint8_t command, uint8_t length);
/* Copies count bytes to data position pos; false (nothing copied) when they do
 * not fit the request's n bytes. */
bool putFrameData(FrameRecord* record, unsigned pos, const uint8_t* bytes, unsigned count);

/* 0: the frame is in `frame` and its length in *frameLength. 1: refused (too
 * much data, address above 99, no buffer or no length cell); nothing written. */
int buildCommandFrame(char* frame, const FrameRecord* record, uint8_t* frameLength);
/* 0: parsed into `record`; 1: not a valid answer. */
int parseResponseFrame(uint8_t answerLength, FrameRecord* record, const char* answer);
/* One of the CLASS_ values. */
int checkResponse(const FrameRecord* record, uint8_t address, uint8_t command, uint8_t expectedLength);
/* Parses and classifies an answer into `record`: 1 when it does not parse,
 * otherwise the classification. */
int decodeResponse(uint8_t address, uint8_t command, uint8_t expectedLength, const char* answer, uint8_t answerLength,
                   FrameRecord* record);

char frameChecksum(const char* bytes, unsigned count);
void hexEncode(const uint8_t* bytes, unsigned characters, char* out);
void hexDecode(uint8_t* out, unsigned characters, const char* in);
/* True when all `characters` characters of `in` are hexadecimal digits. */
bool isHexText(const char* in, unsigned characters);
/* The absolute Mifare Classic block of a sector and block-in-sector; false
 * when either is out of range (nothing written then). */
bool blockNumber(uint8_t sector, uint8_t block, uint8_t* absolute);

#ifdef __cplusplus
}
#endif

#endif
