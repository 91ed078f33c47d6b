// Durable files on POSIX: fsync, and rename, which replaces its target atomically.
#include "platform/durable_file.hpp"

#include <unistd.h>

bool flushFileToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool replaceFileAtomically(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}
