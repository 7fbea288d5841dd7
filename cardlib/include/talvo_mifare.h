/* TalvoMifare: command frames for Mifare card readers and the decoding of
 * their answers. The library does no input or output: a ...Host function
 * writes a ready-to-send frame into the caller's buffer, the caller moves it
 * to the reader, and the matching ...Terminal function checks and decodes the
 * answer bytes the caller hands back.
 *
 * Result codes: 0 success, 1 general failure (missing pointer, invalid or
 * unexpected answer); the families below list their further codes. Nothing
 * the library allocates outlives a call, and it keeps no state between calls,
 * so every function may be called from any thread. */
#ifndef TALVO_MIFARE_H
#define TALVO_MIFARE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TALVO_MIFARE_API __attribute__((visibility("default")))
#else
#define TALVO_MIFARE_API
#endif

/* Frame buffers and answers.
 * frame: the caller's buffer for a request frame. A request with n data bytes
 *   is 2n + 9 bytes long (given per function below, 63 at most); the library
 *   does not know the buffer's size, so it must hold that many bytes. A
 *   64-byte buffer serves every function.
 * frameLength: receives the request's length. On any failure neither frame
 *   nor frameLength is written.
 * answer, answerLength: the bytes the reader returned (9 to 64 bytes). An
 *   answer that is not a valid frame (wrong length, no SOH, no lower-case 's',
 *   non-hexadecimal address or command, wrong check character) gives 1.
 * address: the reader address, 0 to 99; a Host function given a larger one
 *   returns 1. A Terminal function accepts only answers from this address.
 * Outputs of a Terminal function are written only when it returns 0, except
 *   where a function says otherwise. A NULL output pointer gives 1.
 * Mifare Classic blocks are named by sector (0 to 39) and block in the sector
 *   (0 to 3 in sectors 0 to 31, 0 to 15 in sectors 32 to 39); other values give
 *   7. Keys are 6 bytes; keyType is 0 for key A and 1 for key B, anything else
 *   (or a NULL key) gives 6. */

/* Card settings block of the reader, 17 bytes in the frame. Fields declared
 * int32_t but marked "one byte" carry only their low byte to the reader and
 * come back zero-extended. A flag is sent as 1 when its field is nonzero and
 * comes back as 0 or 1. */
typedef struct CardSettings {
    int32_t flagBit0;     /* bit 0 of settings byte 16 */
    uint16_t word7;       /* bytes 7 (low) and 8 (high) */
    uint8_t byte9;        /* byte 9 */
    int32_t byte6;        /* one byte: byte 6 */
    int32_t flagBit1;     /* bit 1 of byte 16 */
    uint8_t byte11;       /* byte 11 */
    uint8_t byte12;       /* byte 12 */
    int32_t byte10;       /* one byte: byte 10 */
    int32_t flagBit2;     /* bit 2 of byte 16 */
    uint8_t bytes0to5[6]; /* bytes 0 to 5 */
    int32_t byte13;       /* one byte: byte 13 */
    int32_t byte14;       /* one byte: byte 14 */
    int32_t byte15;       /* one byte: byte 15 */
} CardSettings;

/* The layout is part of the binary interface: natural alignment, 48 bytes. */
#define TALVO_MIFARE_LAYOUT(name, condition) typedef char talvoMifareLayout_##name[(condition) ? 1 : -1]
TALVO_MIFARE_LAYOUT(size, sizeof(CardSettings) == 48);
TALVO_MIFARE_LAYOUT(flagBit0, offsetof(CardSettings, flagBit0) == 0);
TALVO_MIFARE_LAYOUT(word7, offsetof(CardSettings, word7) == 4);
TALVO_MIFARE_LAYOUT(byte9, offsetof(CardSettings, byte9) == 6);
TALVO_MIFARE_LAYOUT(byte6, offsetof(CardSettings, byte6) == 8);
TALVO_MIFARE_LAYOUT(flagBit1, offsetof(CardSettings, flagBit1) == 12);
TALVO_MIFARE_LAYOUT(byte11, offsetof(CardSettings, byte11) == 16);
TALVO_MIFARE_LAYOUT(byte12, offsetof(CardSettings, byte12) == 17);
TALVO_MIFARE_LAYOUT(byte10, offsetof(CardSettings, byte10) == 20);
TALVO_MIFARE_LAYOUT(flagBit2, offsetof(CardSettings, flagBit2) == 24);
TALVO_MIFARE_LAYOUT(bytes0to5, offsetof(CardSettings, bytes0to5) == 28);
TALVO_MIFARE_LAYOUT(byte13, offsetof(CardSettings, byte13) == 36);
TALVO_MIFARE_LAYOUT(byte14, offsetof(CardSettings, byte14) == 40);
TALVO_MIFARE_LAYOUT(byte15, offsetof(CardSettings, byte15) == 44);
#undef TALVO_MIFARE_LAYOUT

/* ---- Card buffer and card ID ---- */

/* Read-card request, command A1, 9 bytes. 0, or 1 (frame not buildable). */
TALVO_MIFARE_API int32_t readCardBufferHost(uint8_t address, char* frame, uint8_t* frameLength);

/* Read-card answer. code: at least 18 characters; receives the reader's code
 * text ('R' or 'T' and 16 characters) and a NUL.
 * 0 code written; 5 the reader holds no card code (empty data field, or one
 * not starting with 'R' or 'T'); 4 another valid answer (other address or
 * command, "OK", "ERROR", a data field of another length); 1 code NULL or the
 * answer invalid. */
TALVO_MIFARE_API int32_t readCardBufferTerminal(uint8_t address, const char* answer, uint8_t answerLength, char* code);

/* Card ID request, command 20, 9 bytes. 0, or 1 (frame not buildable). */
TALVO_MIFARE_API int32_t readCardIDHost(uint8_t address, char* frame, uint8_t* frameLength);

/* Card ID answer. id: at least 27 bytes; receives the identifier's bytes.
 * idLength: receives their count (set to 0 first, so it is 0 on failure).
 * 0 identifier written (any length, 0 included); 4 another valid answer, or a
 * data field that is not all hexadecimal; 1 id or idLength NULL (nothing
 * written) or the answer invalid. */
TALVO_MIFARE_API int32_t readCardIDTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* id,
                                            uint8_t* idLength);

/* ---- Reader card settings ---- */

/* Settings request, command 43, 9 bytes. 0, or 1 (frame not buildable). */
TALVO_MIFARE_API int32_t readCardSettingsHost(uint8_t address, char* frame, uint8_t* frameLength);

/* Settings answer: 17 hexadecimal data bytes with command 43 fill *settings
 * (every field written) and give 0. 1 for settings NULL, an invalid answer or
 * any other answer; *settings is then untouched. */
TALVO_MIFARE_API int32_t readCardSettingsTerminal(uint8_t address, const char* answer, uint8_t answerLength,
                                                  CardSettings* settings);

/* Settings write request, command 42 with the 17 settings bytes, 43 bytes.
 * 0, or 1 (settings NULL, frame not buildable). */
TALVO_MIFARE_API int32_t writeCardSettingsHost(uint8_t address, const CardSettings* settings, char* frame,
                                               uint8_t* frameLength);

/* 0 when the reader answered "OK" to command 42, else 1. */
TALVO_MIFARE_API int32_t writeCardSettingsTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* ---- Mifare Classic blocks and value blocks ---- */

/* Block read with a key, command 21 (key A) or 22 (key B), 23 bytes.
 * Checks in order: keyType/key (6), sector/block (7), frame (1). */
TALVO_MIFARE_API int32_t mfClassicReadHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* key,
                                           uint8_t keyType, char* frame, uint8_t* frameLength);

/* Block read answer: 16 hexadecimal data bytes with command 21 or 22 are
 * copied to blockData (16 bytes) and give 0; anything else 1. */
TALVO_MIFARE_API int32_t mfClassicReadTerminal(uint8_t address, const char* answer, uint8_t answerLength,
                                               uint8_t* blockData);

/* Block write with a key, command 23 (key A) or 24 (key B), 55 bytes.
 * blockData: 16 bytes. Checks in order: keyType/key (6), blockData NULL (1),
 * sector/block (7), frame (1). */
TALVO_MIFARE_API int32_t mfClassicWriteHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* blockData,
                                            const uint8_t* key, uint8_t keyType, char* frame, uint8_t* frameLength);

/* 0 when the reader answered "OK" to command 23 or 24, else 1. */
TALVO_MIFARE_API int32_t mfClassicWriteTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* Writes a value block: *value (least significant byte first), its inverse,
 * *value again, then valueAddress, its inverse, valueAddress, its inverse.
 * value NULL gives 1; otherwise as mfClassicWriteHost (55 bytes). */
TALVO_MIFARE_API int32_t mfCreateValueBlockHost(uint8_t address, uint8_t sector, uint8_t block, const int32_t* value,
                                                uint8_t valueAddress, const uint8_t* key, uint8_t keyType, char* frame,
                                                uint8_t* frameLength);

/* As mfClassicWriteTerminal. */
TALVO_MIFARE_API int32_t mfCreateValueBlockTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* Adds value (4 bytes, least significant first) to the value block and
 * transfers the result to the transfer block; command F4, 49 bytes.
 * Checks in order: keyType/key, transferKeyType/transferKey (6); value NULL
 * (1); sector/block, then transferSector/transferBlock (7); frame (1). */
TALVO_MIFARE_API int32_t mfIncrementHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* value,
                                         const uint8_t* key, uint8_t keyType, uint8_t transferSector,
                                         uint8_t transferBlock, const uint8_t* transferKey, uint8_t transferKeyType,
                                         char* frame, uint8_t* frameLength);

/* 0 when the reader answered "OK" to command F4, else 1. */
TALVO_MIFARE_API int32_t mfIncrementTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* As mfIncrementHost, subtracting; command F5, 49 bytes. */
TALVO_MIFARE_API int32_t mfDecrementHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* value,
                                         const uint8_t* key, uint8_t keyType, uint8_t transferSector,
                                         uint8_t transferBlock, const uint8_t* transferKey, uint8_t transferKeyType,
                                         char* frame, uint8_t* frameLength);

/* 0 when the reader answered "OK" to command F5, else 1. */
TALVO_MIFARE_API int32_t mfDecrementTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* Copies the value block unchanged to the transfer block; command F6, 49
 * bytes. Checks as mfIncrementHost without the value. */
TALVO_MIFARE_API int32_t mfRestoreHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* key,
                                       uint8_t keyType, uint8_t transferSector, uint8_t transferBlock,
                                       const uint8_t* transferKey, uint8_t transferKeyType, char* frame,
                                       uint8_t* frameLength);

/* 0 when the reader answered "OK" to command F6, else 1. */
TALVO_MIFARE_API int32_t mfRestoreTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* ---- Keys stored in the reader (slots 0 to 40) ---- */

/* Stores a key in a slot, command 2A (key A) or 2B (key B), 23 bytes.
 * Checks in order: keyType/key (6), slot above 40 (9), frame (1). */
TALVO_MIFARE_API int32_t mfRssSetHost(uint8_t address, uint8_t slot, const uint8_t* key, uint8_t keyType, char* frame,
                                      uint8_t* frameLength);

/* 0 when the reader answered "OK" to command 2A or 2B, else 1. */
TALVO_MIFARE_API int32_t mfRssSetTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* Clears a slot, command 2C, 11 bytes. Slot above 40: 9; frame: 1. */
TALVO_MIFARE_API int32_t mfRssDelHost(uint8_t address, uint8_t slot, char* frame, uint8_t* frameLength);

/* 0 when the reader answered "OK" to command 2C, else 1. */
TALVO_MIFARE_API int32_t mfRssDelTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* Block read with the reader's stored keys, command 25, 11 bytes.
 * sector/block (7), frame (1). */
TALVO_MIFARE_API int32_t mfRssReadHost(uint8_t address, uint8_t sector, uint8_t block, char* frame,
                                       uint8_t* frameLength);

/* 16 hexadecimal data bytes with command 25 are copied to blockData (16
 * bytes) and give 0; anything else 1. */
TALVO_MIFARE_API int32_t mfRssReadTerminal(uint8_t address, const char* answer, uint8_t answerLength,
                                           uint8_t* blockData);

/* Block write with the reader's stored keys, command 2D, 43 bytes.
 * blockData: 16 bytes. Checks in order: blockData NULL (1), sector/block (7),
 * frame (1). */
TALVO_MIFARE_API int32_t mfRssWriteHost(uint8_t address, uint8_t sector, uint8_t block, const uint8_t* blockData,
                                        char* frame, uint8_t* frameLength);

/* 0 when the reader answered "OK" to command 2D, else 1. */
TALVO_MIFARE_API int32_t mfRssWriteTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* ---- Mifare Ultralight pages (0 to 15) ---- */

/* Page read, command 38, 11 bytes. Page above 15: 8; frame: 1. */
TALVO_MIFARE_API int32_t mfULReadHost(uint8_t address, uint8_t page, char* frame, uint8_t* frameLength);

/* 4 hexadecimal data bytes with command 38 are copied to pageData (4 bytes)
 * and give 0; anything else 1. */
TALVO_MIFARE_API int32_t mfULReadTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* pageData);

/* Page write, command 39, 43 bytes: the page, the 4 bytes of pageData, 12
 * zero bytes. Checks in order: page above 15 (8), pageData NULL (1), frame (1). */
TALVO_MIFARE_API int32_t mfULWriteHost(uint8_t address, uint8_t page, const uint8_t* pageData, char* frame,
                                       uint8_t* frameLength);

/* 0 when the reader answered "OK" to command 39, else 1. */
TALVO_MIFARE_API int32_t mfULWriteTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* ---- Reader and MCU identifiers ---- */

/* MCU identifier request, command EF, 9 bytes. 0, or 1 (frame not buildable). */
TALVO_MIFARE_API int32_t readMcuUidHost(uint8_t address, char* frame, uint8_t* frameLength);

/* MCU identifier answer: 16 hexadecimal data bytes with command EF are copied
 * to uid (16 bytes) and give 0; 4 any other valid answer; 1 uid NULL or an
 * invalid answer. */
TALVO_MIFARE_API int32_t readMcuUidTerminal(uint8_t address, const char* answer, uint8_t answerLength, uint8_t* uid);

/* Sets the reader's identifier, command EE, 25 bytes. uid: 16 characters,
 * sent exactly as given (not encoded, not checked). uid NULL: 1; frame: 1. */
TALVO_MIFARE_API int32_t setReaderUidHost(uint8_t address, const char* uid, char* frame, uint8_t* frameLength);

/* 0 when the reader answered "OK" to command EE, else 1. */
TALVO_MIFARE_API int32_t setReaderUidTerminal(uint8_t address, const char* answer, uint8_t answerLength);

/* ---- Library version ---- */

/* Writes "Talvo Mifare Lib ver - " and the library file's version
 * (major.minor.release.build) into text, a buffer of size characters.
 * The version is read from the library's own file, the one the loader
 * mapped, rather than from a file looked up by the library's usual name: so
 * a copy under another name still reports its version, and never another
 * copy's.
 * 0: the whole text and a NUL were written.
 * 1: text is NULL or size < 1 (nothing written), the library file has no
 *    version block (nothing written), or the text did not fit (cut to size - 1
 *    characters, NUL-terminated). */
TALVO_MIFARE_API int32_t mifareLibVer(char* text, int32_t size);

#ifdef __cplusplus
}
#endif

#endif
