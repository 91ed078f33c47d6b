// Durable files on Windows: _commit, and MoveFileEx, since rename refuses an existing target.
#include "platform/durable_file.hpp"

#include <io.h>

#include <cerrno>

#include "platform/win32/win32_shared.hpp"

bool flushFileToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool replaceFileAtomically(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    default: errno = EIO; break;
    }
    return false;
}
