/* The version block of the file this object is linked into. The numbers come
 * from the build (the CMake project version). */
#include "version_block.h"

__attribute__((section(ZT_VERSION_SECTION), used, retain)) const ZtVersionBlock ztEmbeddedVersionBlock = {
    ZT_VERSION_SIGNATURE, ZT_VERSION_MAJOR, ZT_VERSION_MINOR, ZT_VERSION_RELEASE, ZT_VERSION_BUILD};
