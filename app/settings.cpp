// The settings file ./menu.cfg: hide-toggle states read at start-up, written at shutdown.
#include "app/settings.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/gui.hpp"
#include "platform/message_box.hpp"

char settingsBuffer[9] = "00000000";

namespace {
constexpr const char* kSettingsPath = "./menu.cfg";
constexpr int kStoredButtons = 6; // the five hide toggles and the volume "-" stepper

void reportNotSaved(const std::string& path, const char* why) {
    std::fprintf(stderr, "halvent: cannot save the settings to %s: %s\n", path.c_str(), why);
}

// The file the settings go to: the target of a symbolic link, so the link stays a link.
std::string settingsTarget() {
    struct stat link {};
    if (lstat(kSettingsPath, &link) != 0 || !S_ISLNK(link.st_mode)) return kSettingsPath;
    if (char* resolved = realpath(kSettingsPath, nullptr)) {
        std::string target = resolved;
        std::free(resolved);
        return target;
    }
    // A dangling link: its target is created, relative to the link's folder (this one).
    char target[PATH_MAX];
    const ssize_t length = readlink(kSettingsPath, target, sizeof target - 1);
    if (length <= 0) return kSettingsPath;
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

} // namespace

void loadSettings() {
    // A directory opens for reading here but holds nothing to read: it counts as missing.
    std::FILE* file = std::fopen(kSettingsPath, "rb");
    struct stat info {};
    if (file && (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode))) {
        std::fclose(file);
        file = nullptr;
    }
    if (!file) {
        showMessageBox("File not found !!!", "Error");
        return;
    }
    // At most five characters of the first line, read as a text-mode stream on Windows reads
    // them (CR LF is one line end); every character counts, NUL included. A line end is kept
    // and a terminator follows; positions after the terminator keep what they held.
    char line[5];
    std::size_t count = 0;
    while (count < sizeof line) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c == '\r') {
            const int next = std::fgetc(file);
            if (next == '\n') c = '\n';
            else if (next != EOF) std::ungetc(next, file);
        }
        line[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        showMessageBox("File not found !!!", "Error");
        return;
    }
    if (count > 0) {
        std::memcpy(settingsBuffer, line, count);
        settingsBuffer[count] = '\0';
    }
}

void saveSettings() {
    for (int k = 0; k < kStoredButtons && k < static_cast<int>(gui.smallButtons.size()); ++k)
        settingsBuffer[k] = gui.smallButtons[static_cast<std::size_t>(k)].raised ? '0' : '1';
    // Loading never touches positions 6 and 7, so this is always eight characters.
    const std::size_t length = std::strlen(settingsBuffer);

    const std::string target = settingsTarget();
    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    // A file the user made read-only stays as it is (root may write it, but should not).
    if (exists && S_ISREG(old.st_mode) &&
        ((old.st_mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0)) {
        std::fprintf(stderr, "halvent: %s is read-only; the settings were not saved\n",
                     target.c_str());
        return;
    }

    // Written beside the old file under a name of its own and renamed over it, so the old
    // settings stay whole until the new ones are complete on disk, and two copies of the
    // program in one folder do not share a temporary file.
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd >= 0) {
        bool written = fchmod(fd, exists ? old.st_mode & 07777 : newFileMode()) == 0;
        if (exists && fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only root may give the file back to its owner; others own it already.
        }
        written = writeAll(fd, settingsBuffer, length) && written;
        written = close(fd) == 0 && written;
        if (written && std::rename(temporary.c_str(), target.c_str()) == 0) return;
        const int error = errno;
        unlink(temporary.c_str());
        reportNotSaved(target, std::strerror(error));
        return;
    }
    // No file can be made in the folder (it is not writable): write the file in place, which
    // its own permission may still allow.
    const int createError = errno;
    if (createError != EACCES && createError != EPERM) {
        reportNotSaved(target, std::strerror(createError));
        return;
    }
    const int inPlace = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (inPlace < 0) {
        reportNotSaved(target, std::strerror(errno));
        return;
    }
    bool written = writeAll(inPlace, settingsBuffer, length);
    written = close(inPlace) == 0 && written;
    if (!written) reportNotSaved(target, std::strerror(errno));
}
