// Growing files on Windows: _O_EXCL creation, _write, _commit, _chsize_s back on failure.
// Names are UTF-8 in the program and wide for the system, so any folder name works.
#include "platform/append_file.hpp"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/win32_shared.hpp"

int makeFolders(const std::string& path) {
    for (std::size_t slash = path.find_first_of("/\\", 1);;
         slash = path.find_first_of("/\\", slash + 1)) {
        const std::string part = path.substr(0, slash);
        // "C:" alone is a drive, not a folder to make.
        const bool drive = part.size() == 2 && part[1] == ':';
        if (!part.empty() && !drive && ::_wmkdir(win32::utf8ToWide(part).c_str()) != 0 &&
            errno != EEXIST)
            return errno;
        if (slash == std::string::npos) return 0;
    }
}

int folderWritable(const std::string& path) {
    return ::_waccess(win32::utf8ToWide(path).c_str(), 2) == 0 ? 0 : errno;
}

std::string systemErrorText(int error) {
    return std::strerror(error);
}

AppendFile::~AppendFile() {
    close();
}

int AppendFile::createNew(const std::string& path) {
    close();
    handle_ =
        ::_wopen(win32::utf8ToWide(path).c_str(),
                 _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    size_ = 0;
    return handle_ >= 0 ? 0 : errno;
}

int AppendFile::appendAndSync(std::string_view bytes) {
    int error = 0;
    std::size_t done = 0;
    while (error == 0 && done < bytes.size()) {
        const std::size_t chunk =
            bytes.size() - done > (1u << 30) ? (1u << 30) : bytes.size() - done;
        const int n = ::_write(handle_, bytes.data() + done, static_cast<unsigned>(chunk));
        if (n < 0)
            error = errno;
        else if (n == 0)
            error = ENOSPC;
        else
            done += static_cast<std::size_t>(n);
    }
    if (error == 0 && ::_commit(handle_) != 0) error = errno;
    if (error != 0) {
        ::_chsize_s(handle_, size_);
        return error;
    }
    size_ += static_cast<long long>(bytes.size());
    return 0;
}

void AppendFile::close() {
    if (handle_ >= 0) ::_close(handle_);
    handle_ = -1;
}
