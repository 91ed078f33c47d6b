// Fuzzes the settings reader with arbitrary file contents and checks the buffer stays sound.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/settings.hpp"
#include "platform/message_box.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Work in a private folder, since the reader always reads ./menu.cfg.
    static const bool ready = [] {
        setMessageBoxCapture([](const std::string&, const std::string&) {});
        char folder[] = "/tmp/halvent-settings-fuzz-XXXXXX";
        return mkdtemp(folder) != nullptr && chdir(folder) == 0;
    }();
    if (!ready) std::abort();
    std::FILE* file = std::fopen("menu.cfg", "wb");
    if (!file) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    std::memcpy(settingsBuffer, "00000000", 9);
    loadSettings();
    // Only the first five positions may change, and the buffer stays terminated.
    if (settingsBuffer[8] != '\0' || settingsBuffer[6] != '0' || settingsBuffer[7] != '0')
        std::abort();
    return 0;
}
