/* The reader's 17-byte card settings block and the caller's CardSettings. */
#include <string.h>

#include "exchange.h"
#include "talvo_mifare.h"

enum { WRITE_SETTINGS = 0x42, READ_SETTINGS = 0x43, SETTINGS_BYTES = 17 };

int32_t readCardSettingsHost(uint8_t address, char* frame, uint8_t* frameLength) {
    return hostRequest(address, READ_SETTINGS, NULL, 0, frame, frameLength);
}

int32_t readCardSettingsTerminal(uint8_t address, const char* answer, uint8_t answerLength, CardSettings* settings) {
    uint8_t bytes[SETTINGS_BYTES];
    if (settings == NULL ||
        dataAnswer(address, READ_SETTINGS, READ_SETTINGS, SETTINGS_BYTES, answer, answerLength, bytes) != 0) {
        return 1;
    }
    /* The fields wider than their byte get it zero-extended: whatever the
     * caller had in the upper bytes is not the reader's. */
    memcpy(settings->bytes0to5, bytes, 6);
    settings->byte6 = bytes[6];
    settings->word7 = (uint16_t)(bytes[7] | bytes[8] << 8);
    settings->byte9 = bytes[9];
    settings->byte10 = bytes[10];
    settings->byte11 = bytes[11];
    settings->byte12 = bytes[12];
    settings->byte13 = bytes[13];
    settings->byte14 = bytes[14];
    settings->byte15 = bytes[15];
    settings->flagBit0 = bytes[16] & 1;
    settings->flagBit1 = (bytes[16] >> 1) & 1;
    settings->flagBit2 = (bytes[16] >> 2) & 1;
    return 0;
}

int32_t writeCardSettingsHost(uint8_t address, const CardSettings* settings, char* frame, uint8_t* frameLength) {
    if (settings == NULL) {
        return 1;
    }
    uint8_t bytes[SETTINGS_BYTES];
    memcpy(bytes, settings->bytes0to5, 6);
    bytes[6] = (uint8_t)settings->byte6;
    bytes[7] = (uint8_t)(settings->word7 & 0xFF);
    bytes[8] = (uint8_t)(settings->word7 >> 8);
    bytes[9] = settings->byte9;
    bytes[10] = (uint8_t)settings->byte10;
    bytes[11] = settings->byte11;
    bytes[12] = settings->byte12;
    bytes[13] = (uint8_t)settings->byte13;
    bytes[14] = (uint8_t)settings->byte14;
    bytes[15] = (uint8_t)settings->byte15;
    /* Any nonzero flag sets its bit alone, so a true of -1 cannot spill into
     * the neighbouring flags. */
    bytes[16] = (uint8_t)((settings->flagBit0 != 0) | (settings->flagBit1 != 0) << 1 | (settings->flagBit2 != 0) << 2);
    return hostRequest(address, WRITE_SETTINGS, bytes, SETTINGS_BYTES, frame, frameLength);
}

int32_t writeCardSettingsTerminal(uint8_t address, const char* answer, uint8_t answerLength) {
    return okAnswer(address, WRITE_SETTINGS, WRITE_SETTINGS, answer, answerLength);
}
