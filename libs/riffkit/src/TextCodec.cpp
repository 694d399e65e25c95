#include "TextCodec.h"

#include <algorithm>
#include <cstdint>

namespace riffkit {

namespace {

// Unicode code points of the bytes 0x80..0x9F in Windows-1252; the unused ones map to
// the C1 control of the same value.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at the start of s (0 when invalid), and its code point.
std::size_t NextUtf8(std::string_view s, char32_t& cp) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    if (n == 0)
        return 0;
    if (p[0] < 0x80) {
        cp = p[0];
        return 1;
    }
    std::size_t len;
    char32_t min;
    if ((p[0] & 0xE0) == 0xC0) {
        len = 2, cp = p[0] & 0x1F, min = 0x80;
    } else if ((p[0] & 0xF0) == 0xE0) {
        len = 3, cp = p[0] & 0x0F, min = 0x800;
    } else if ((p[0] & 0xF8) == 0xF0) {
        len = 4, cp = p[0] & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::optional<std::string> Utf8ToSingleByte(std::string_view utf8, char32_t highest) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t cp = 0;
        const std::size_t len = NextUtf8(utf8, cp);
        if (len == 0 || cp > highest)
            return std::nullopt;
        out += static_cast<char>(cp);
        utf8.remove_prefix(len);
    }
    return out;
}

} // namespace

bool TTextCodec::IsValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        char32_t cp = 0;
        const std::size_t len = NextUtf8(bytes, cp);
        if (len == 0)
            return false;
        bytes.remove_prefix(len);
    }
    return true;
}

bool TTextCodec::HasNonAscii(std::string_view bytes) {
    for (unsigned char c : bytes)
        if (c >= 0x80)
            return true;
    return false;
}

bool TTextCodec::IsKnownCodePage(int codePage) {
    return codePage == CpAscii || codePage == CpWindows1252 || codePage == CpLatin1 ||
           codePage == CpUtf8;
}

std::string TTextCodec::Cp1252ToUtf8(std::string_view bytes) {
    // Most stored texts are plain ASCII, which reads the same in both.
    const auto plain = std::find_if(bytes.begin(), bytes.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    std::string out(bytes.begin(), plain);
    if (plain == bytes.end())
        return out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (unsigned char c : bytes.substr(static_cast<std::size_t>(plain - bytes.begin()))) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0xA0)
            AppendUtf8(out, Cp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::string> TTextCodec::Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t cp = 0;
        const std::size_t len = NextUtf8(utf8, cp);
        if (len == 0)
            return std::nullopt;
        utf8.remove_prefix(len);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        bool found = false;
        for (int i = 0; i < 32; ++i) {
            if (Cp1252High[i] == cp) {
                out += static_cast<char>(0x80 + i);
                found = true;
                break;
            }
        }
        if (!found)
            return std::nullopt;
    }
    return out;
}

std::string TTextCodec::Decode(std::string_view stored, int codePage) {
    switch (codePage) {
    case CpLatin1: {
        std::string out;
        for (unsigned char c : stored)
            AppendUtf8(out, c);
        return out;
    }
    case CpUtf8:
        if (IsValidUtf8(stored))
            return std::string(stored);
        return Cp1252ToUtf8(stored);
    case CpAscii:
    case CpWindows1252:
        return Cp1252ToUtf8(stored);
    default:
        if (HasNonAscii(stored) && IsValidUtf8(stored))
            return std::string(stored);
        return Cp1252ToUtf8(stored);
    }
}

std::optional<std::string> TTextCodec::Encode(std::string_view utf8, int codePage) {
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    switch (codePage) {
    case CpUtf8:
        return std::string(utf8);
    case CpLatin1:
        return Utf8ToSingleByte(utf8, 0xFF);
    case CpAscii:
        return Utf8ToSingleByte(utf8, 0x7F);
    case CpWindows1252:
        return Utf8ToCp1252(utf8);
    default:
        break;
    }
    // Windows-1252 when every character fits, unless those bytes would read back as
    // UTF-8 (e.g. "Ã©"): then UTF-8, which reads back as itself.
    if (auto narrow = Utf8ToCp1252(utf8)) {
        if (!(HasNonAscii(*narrow) && IsValidUtf8(*narrow)))
            return narrow;
    }
    return std::string(utf8);
}

std::string TTextCodec::FromCaller(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return Cp1252ToUtf8(bytes);
}

std::size_t TTextCodec::CutLength(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes)
        return utf8.size();
    std::size_t cut = maxBytes;
    // Step back over continuation bytes to the start of the character that does not fit.
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

} // namespace riffkit
