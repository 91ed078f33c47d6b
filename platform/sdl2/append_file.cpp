// Growing files on POSIX: O_EXCL creation, write, fdatasync, ftruncate back on failure.
#include "platform/append_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos) return 0;
    }
}

int folderWritable(const std::string& path) {
    return ::access(path.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

std::string systemErrorText(int error) {
    return std::strerror(error);
}

AppendFile::~AppendFile() {
    close();
}

int AppendFile::createNew(const std::string& path) {
    close();
    handle_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    size_ = 0;
    return handle_ >= 0 ? 0 : errno;
}

int AppendFile::appendAndSync(std::string_view bytes) {
    int error = 0;
    std::size_t done = 0;
    while (error == 0 && done < bytes.size()) {
        const ssize_t n = ::write(handle_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            error = errno;
        else if (n == 0)
            error = ENOSPC;
        else
            done += static_cast<std::size_t>(n);
    }
    // Some file systems cannot sync (EINVAL); the data is written all the same.
    if (error == 0 && ::fdatasync(handle_) != 0 && errno != EINVAL) error = errno;
    if (error != 0) {
        if (::ftruncate(handle_, static_cast<off_t>(size_)) != 0) {
            // Nothing more to do: a reader skips a broken last line.
        }
        return error;
    }
    size_ += static_cast<long long>(bytes.size());
    return 0;
}

void AppendFile::close() {
    if (handle_ >= 0) ::close(handle_);
    handle_ = -1;
}
