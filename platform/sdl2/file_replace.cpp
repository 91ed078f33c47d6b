// Replacing a file's contents on POSIX: mkostemp beside it, fsync, rename; links, modes and
// read-only files respected, in place where the folder is closed.
#include "platform/file_replace.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The file to write: the target of a symbolic link, so the link stays a link.
std::string writeTarget(const char* path) {
    struct stat link {};
    if (lstat(path, &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    if (char* resolved = realpath(path, nullptr)) {
        std::string target = resolved;
        std::free(resolved);
        return target;
    }
    // A dangling link: its target is created, relative to the link's folder (this one).
    char target[PATH_MAX];
    const ssize_t length = readlink(path, target, sizeof target - 1);
    if (length <= 0) return path;
    return std::string(target, static_cast<std::size_t>(length));
}

bool writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return fsync(fd) == 0;
}

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool fail(std::string& error, const std::string& target, int code) {
    error = "cannot write " + target + ": " + std::strerror(code);
    return false;
}

} // namespace

bool replaceFileContents(const char* path, std::string_view bytes, std::string& error) {
    const std::string target = writeTarget(path);
    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    // A file the user made read-only stays as it is (root may write it, but should not).
    if (exists && S_ISREG(old.st_mode) &&
        ((old.st_mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0)) {
        error = target + " is read-only";
        return false;
    }

    // A temporary name of its own, so two copies of the program in one folder do not share it.
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd >= 0) {
        bool written = fchmod(fd, exists ? old.st_mode & 07777 : newFileMode()) == 0;
        if (exists && fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only root may give the file back to its owner; others own it already.
        }
        written = writeAll(fd, bytes.data(), bytes.size()) && written;
        written = close(fd) == 0 && written;
        if (written && std::rename(temporary.c_str(), target.c_str()) == 0) return true;
        const int code = errno;
        unlink(temporary.c_str());
        return fail(error, target, code);
    }
    // No file can be made in the folder (it is not writable): write the file in place, which
    // its own permission may still allow.
    const int createError = errno;
    if (createError != EACCES && createError != EPERM) return fail(error, target, createError);
    const int inPlace = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (inPlace < 0) return fail(error, target, errno);
    bool written = writeAll(inPlace, bytes.data(), bytes.size());
    written = close(inPlace) == 0 && written;
    return written || fail(error, target, errno);
}
