#include "LargeBlocks.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnLargeBlocksWhenFreed() {
#if defined(__GLIBC__)
    // Setting the threshold also stops the library from raising it.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void releaseFreeMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
