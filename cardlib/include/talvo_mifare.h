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

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TALVO_MIFARE_API __attribute__((visibility("default")))
#else
#define TALVO_MIFARE_API
#endif

/* Writes "Talvo Mifare Lib ver - " and the library file's version
 * (major.minor.release.build) into text, a buffer of size characters.
 * 0: the whole text and a NUL were written.
 * 1: text is NULL or size < 1 (nothing written), the library file has no
 *    version block (nothing written), or the text did not fit (cut to size - 1
 *    characters, NUL-terminated). */
TALVO_MIFARE_API int32_t mifareLibVer(char* text, int32_t size);

#ifdef __cplusplus
}
#endif

#endif
