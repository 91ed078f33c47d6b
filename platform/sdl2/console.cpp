// Lines for the user on Linux: the terminal or whatever the launcher made of the streams.
#include "platform/console.hpp"

#include <cstdio>

void tellUser(ConsoleLine kind, std::string_view text) {
    std::FILE* stream = kind == ConsoleLine::Information ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), stream);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stream);
    std::fflush(stream);
}
