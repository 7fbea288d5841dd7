#define _GNU_SOURCE
#include <dlfcn.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "platform/version_block.h"
#include "talvo_mifare.h"

/* The path of the mapped file that holds `address`, from /proc/self/maps. */
static int MappedFileOf(const void* address, char* path, size_t size) {
    FILE* maps = fopen("/proc/self/maps", "r");
    if (maps == NULL) {
        return 0;
    }
    char line[PATH_MAX + 128];
    int found = 0;
    const uintptr_t wanted = (uintptr_t)address;
    while (!found && fgets(line, sizeof line, maps) != NULL) {
        uintptr_t start = 0;
        uintptr_t end = 0;
        int pathStart = 0;
        if (sscanf(line, "%lx-%lx %*s %*s %*s %*s %n", &start, &end, &pathStart) < 2 || wanted < start ||
            wanted >= end || line[pathStart] != '/') {
            continue;
        }
        line[strcspn(line, "\n")] = '\0';
        found = snprintf(path, size, "%s", line + pathStart) < (int)size;
    }
    fclose(maps);
    return found;
}

/* The library's own file: where the loader found it, so another copy on the
 * search path can never answer for this one. The address asked about is this
 * static function's own: an exported symbol could resolve to another copy. */
static int OwnFile(char* path, size_t size) {
    const void* self = (const void*)&OwnFile;
    Dl_info info;
    if (dladdr(self, &info) != 0 && info.dli_fname != NULL && info.dli_fname[0] == '/') {
        return snprintf(path, size, "%s", info.dli_fname) < (int)size;
    }
    return MappedFileOf(self, path, size);
}

int32_t mifareLibVer(char* text, int32_t size) {
    char path[PATH_MAX];
    ZtVersionBlock block;
    if (text == NULL || size <= 0 || !OwnFile(path, sizeof path) || !ZtReadVersionBlock(path, &block)) {
        return 1;
    }
    const int length = snprintf(text, (size_t)size, "%s%d.%d.%d.%d", "Talvo Mifare Lib ver - ", block.major,
                                block.minor, block.release, block.build);
    return length >= 0 && length < size ? 0 : 1;
}
