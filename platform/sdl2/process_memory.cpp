// glibc's allocator: a fixed threshold above which blocks are mapped on their own.
#include "platform/process_memory.hpp"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnLargeFreedBlocks() {
#if defined(__GLIBC__)
    // glibc raises its mapping threshold to the size of each large block freed (up to 32 MiB),
    // so after the first megabyte-sized image buffer every later one comes from the heap and
    // its pages stay there; about 4 MiB of a session's peak. A fixed threshold keeps blocks of
    // 128 KiB and more in mappings of their own, unmapped when freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}
