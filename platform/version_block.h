/* Version block: four 16-bit version numbers behind a signature, stored in an
 * ELF section of each deliverable at build time and read back from the file on
 * disk. Plain C so the card library can carry it without any C++ runtime. */
#ifndef ZT_PLATFORM_VERSION_BLOCK_H
#define ZT_PLATFORM_VERSION_BLOCK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZT_VERSION_SECTION ".zt_version"
#define ZT_VERSION_SIGNATURE "ZTVERSN1"
#define ZT_VERSION_SIGNATURE_SIZE 8

typedef struct ZtVersionBlock {
    char signature[ZT_VERSION_SIGNATURE_SIZE];
    uint16_t major;
    uint16_t minor;
    uint16_t release;
    uint16_t build;
} ZtVersionBlock;

/* Reads the version block of the ELF file at `path`. Returns 1 and fills
 * `block` when the file has the section with a valid signature, 0 otherwise
 * (missing or unreadable file, not a 64-bit ELF file, no or damaged section). */
int ZtReadVersionBlock(const char* path, ZtVersionBlock* block);

#ifdef __cplusplus
}
#endif

#endif
