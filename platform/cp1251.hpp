// Windows-1251 texts: UTF-8 literals in the source become CP1251 bytes at compile time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cp1251_detail {

// A UTF-8 string literal usable as a template argument.
template <std::size_t N> struct Utf8Literal {
    char chars[N]{};
    consteval Utf8Literal(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) chars[i] = s[i];
    }
};

// One Unicode code point to its CP1251 byte; the texts of this program use ASCII, the
// Cyrillic letters and a few punctuation marks. Anything else stops the compilation.
consteval unsigned char encodeCodePoint(char32_t c) {
    if (c < 0x80) return static_cast<unsigned char>(c);
    if (c >= 0x0410 && c <= 0x044F) return static_cast<unsigned char>(0xC0 + (c - 0x0410));
    switch (c) {
    case 0x0401: return 0xA8; // Ё
    case 0x0451: return 0xB8; // ё
    case 0x00A0: return 0xA0; // no-break space
    case 0x00AB: return 0xAB; // «
    case 0x00BB: return 0xBB; // »
    case 0x2013: return 0x96; // –
    case 0x2014: return 0x97; // —
    case 0x2116: return 0xB9; // №
    case 0x00B0: return 0xB0; // °
    default: throw "character has no CP1251 byte";
    }
}

template <std::size_t N> struct Cp1251Bytes {
    char bytes[N]{}; // terminated; never longer than the UTF-8 source
    std::size_t length = 0;
};

template <std::size_t N> consteval Cp1251Bytes<N> encode(const char (&utf8)[N]) {
    Cp1251Bytes<N> out;
    std::size_t i = 0;
    while (i + 1 < N && utf8[i] != 0) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c = 0;
        if (b < 0x80) {
            c = b;
            i += 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = ((b & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            i += 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = ((b & 0x0F) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6) |
                (static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
            i += 3;
        } else {
            throw "unsupported UTF-8 sequence";
        }
        out.bytes[out.length++] = static_cast<char>(encodeCodePoint(c));
    }
    out.bytes[out.length] = 0;
    return out;
}

template <Utf8Literal S> struct Storage {
    static constexpr auto value = encode(S.chars);
};

} // namespace cp1251_detail

// "Старт"_cp1251 is a pointer to the constant, terminated CP1251 bytes of the text; the
// bytes live for the whole run, so records may keep the pointer.
template <cp1251_detail::Utf8Literal S> constexpr const char* operator""_cp1251() {
    return cp1251_detail::Storage<S>::value.bytes;
}

// The same bytes as a view (with its length), for comparisons in tests.
template <cp1251_detail::Utf8Literal S> constexpr std::string_view operator""_cp1251v() {
    const auto& v = cp1251_detail::Storage<S>::value;
    return std::string_view(v.bytes, v.length);
}

// CP1251 bytes to UTF-8, for the places where text leaves the program (dialogs, terminal).
std::string cp1251ToUtf8(std::string_view bytes);
