/* The two shapes every export takes: a Host function builds one request frame
 * into the caller's buffer, a Terminal function decodes the reader's answer
 * and checks it is the one the request asked for. */
#ifndef TALVO_MIFARE_EXCHANGE_H
#define TALVO_MIFARE_EXCHANGE_H

#include <stdbool.h>
#include <stdint.h>

#include "frame_codec.h"

/* Sizes shared by the Mifare Classic exchanges. */
enum { KEY_BYTES = 6, BLOCK_BYTES = 16 };

/* Builds the request `command` with `length` data bytes into the caller's
 * buffer: 0, or 1 when the frame cannot be built (nothing written then). */
int32_t hostRequest(uint8_t address, uint8_t command, const uint8_t* data, uint8_t length, char* frame,
                    uint8_t* frameLength);

/* Decodes an answer that may carry `command` or `alternate` (pass the same
 * value twice for a single command): the second is tried only when the
 * answer's command is not the first. 1 when the answer is not a valid frame,
 * otherwise the classification. A data field that holds anything but
 * hexadecimal digits is never the expected data (CLASS_OTHER). */
int decodeAnswer(uint8_t address, uint8_t command, uint8_t alternate, uint8_t expectedLength, const char* answer,
                 uint8_t answerLength, FrameRecord* record);

/* 0 when the answer is "OK" with `command` or `alternate`, else 1. */
int32_t okAnswer(uint8_t address, uint8_t command, uint8_t alternate, const char* answer, uint8_t answerLength);

/* Copies `expectedLength` decoded bytes to `out` and returns 0 for the
 * expected data answer; 1 for anything else or a NULL `out`. */
int32_t dataAnswer(uint8_t address, uint8_t command, uint8_t alternate, uint8_t expectedLength, const char* answer,
                   uint8_t answerLength, uint8_t* out);

/* A key is usable when it is there and its type is 0 (key A) or 1 (key B). */
bool validKey(const uint8_t* key, uint8_t keyType);

#endif
