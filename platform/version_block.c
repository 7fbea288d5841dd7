#include "version_block.h"

#include <elf.h>
#include <stdio.h>
#include <string.h>

static int ReadAt(FILE* file, long offset, void* buffer, size_t size) {
    return fseek(file, offset, SEEK_SET) == 0 && fread(buffer, 1, size, file) == size;
}

static int ReadSectionHeader(FILE* file, const Elf64_Ehdr* header, unsigned index, Elf64_Shdr* section) {
    long offset = (long)(header->e_shoff + (Elf64_Off)index * header->e_shentsize);
    return ReadAt(file, offset, section, sizeof *section);
}

static int FindBlock(FILE* file, ZtVersionBlock* block) {
    Elf64_Ehdr header;
    if (!ReadAt(file, 0, &header, sizeof header) || memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize < sizeof(Elf64_Shdr) ||
        header.e_shstrndx == SHN_UNDEF || header.e_shstrndx >= header.e_shnum) {
        return 0;
    }
    Elf64_Shdr names;
    if (!ReadSectionHeader(file, &header, header.e_shstrndx, &names)) {
        return 0;
    }
    const char wanted[] = ZT_VERSION_SECTION;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        char name[sizeof wanted];
        if (!ReadSectionHeader(file, &header, i, &section) || section.sh_name >= names.sh_size ||
            names.sh_size - section.sh_name < sizeof wanted) {
            continue;
        }
        if (!ReadAt(file, (long)(names.sh_offset + section.sh_name), name, sizeof name) ||
            memcmp(name, wanted, sizeof wanted) != 0) {
            continue;
        }
        ZtVersionBlock found;
        if (section.sh_type == SHT_NOBITS || section.sh_size < sizeof found ||
            !ReadAt(file, (long)section.sh_offset, &found, sizeof found) ||
            memcmp(found.signature, ZT_VERSION_SIGNATURE, ZT_VERSION_SIGNATURE_SIZE) != 0) {
            return 0;
        }
        *block = found;
        return 1;
    }
    return 0;
}

int ZtReadVersionBlock(const char* path, ZtVersionBlock* block) {
    if (path == NULL || block == NULL) {
        return 0;
    }
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        return 0;
    }
    int found = FindBlock(file, block);
    fclose(file);
    return found;
}
