// CP1251 to UTF-8 through iconv, with a fallback that keeps ASCII and the Cyrillic letters.
#include "platform/cp1251.hpp"

#include <iconv.h>

namespace {

std::string fallbackToUtf8(std::string_view bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        char32_t c = b;
        if (b >= 0xC0) c = 0x0410 + (b - 0xC0);
        else if (b == 0xA8) c = 0x0401;
        else if (b == 0xB8) c = 0x0451;
        else if (b >= 0x80) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

std::string cp1251ToUtf8(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return fallbackToUtf8(bytes);
    std::string out(bytes.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return fallbackToUtf8(bytes);
    out.resize(out.size() - outLeft);
    return out;
}
