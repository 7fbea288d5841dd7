/* Mifare Ultralight pages of 4 bytes. */
#include <string.h>

#include "exchange.h"
#include "talvo_mifare.h"

enum { READ_PAGE = 0x38, WRITE_PAGE = 0x39, HIGHEST_PAGE = 15, PAGE_BYTES = 4, WRITE_BYTES = 17 };

int32_t mfULReadHost(uint8_t address, uint8_t page, char* frame, uint8_t* frameLength) {
    if (page > HIGHEST_PAGE) {
        return 8;
    }
    return hostRequest(address, READ_PAGE, &page, 1, frame, frameLength);
}

int32_t mfULReadTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* pageData) {
    return dataAnswer(address, READ_PAGE, READ_PAGE, PAGE_BYTES, answer, answerLength, pageData);
}

int32_t mfULWriteHost(uint8_t address, uint8_t page, const uint8_t* pageData, char* frame, uint8_t* frameLength) {
    if (page > HIGHEST_PAGE) {
        return 8;
    }
    if (pageData == NULL) {
        return 1;
    }
    /* The write carries a 16-byte field: the page's 4 bytes, then zeros. */
    uint8_t data[WRITE_BYTES] = {0};
    data[0] = page;
    memcpy(data + 1, pageData, PAGE_BYTES);
    return hostRequest(address, WRITE_PAGE, data, WRITE_BYTES, frame, frameLength);
}

int32_t mfULWriteTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, WRITE_PAGE, WRITE_PAGE, answer, answerLength);
}
