// Fuzzes the settings reader with arbitrary file contents against the whole reading rule.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/settings.hpp"
#include "platform/message_box.hpp"

namespace {

char folder[] = "/tmp/halvent-settings-fuzz-XXXXXX";

// The folder goes when the fuzzer ends, so repeated runs leave nothing in /tmp.
void removeFolder() {
    unlink("menu.cfg");
    if (chdir("/") == 0) rmdir(folder);
}

// The rule, written out plainly: CR LF reads as one line end; up to five characters of the
// first line are stored, a line end included, then a terminator; the rest stays.
void expectedBuffer(const std::uint8_t* data, std::size_t size, char out[9]) {
    std::memcpy(out, "00000000", 9);
    std::string line;
    for (std::size_t i = 0; i < size && line.size() < 5; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '\r' && i + 1 < size && data[i + 1] == '\n') c = '\n', ++i;
        line += c;
        if (c == '\n') break;
    }
    if (line.empty()) return;
    std::memcpy(out, line.data(), line.size());
    out[line.size()] = '\0';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Work in a private folder, since the reader always reads ./menu.cfg.
    static const bool ready = [] {
        setMessageBoxCapture([](const std::string&, const std::string&) {});
        if (!mkdtemp(folder) || chdir(folder) != 0) return false;
        std::atexit(removeFolder);
        return true;
    }();
    if (!ready) std::abort();
    std::FILE* file = std::fopen("menu.cfg", "wb");
    if (!file) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    std::memcpy(settingsBuffer, "00000000", 9);
    loadSettings();
    char expected[9];
    expectedBuffer(data, size, expected);
    if (std::memcmp(settingsBuffer, expected, 9) != 0) std::abort();
    return 0;
}
