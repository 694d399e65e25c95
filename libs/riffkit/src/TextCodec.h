#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace riffkit {

// Conversions between the 8-bit texts stored in RIFF tag chunks and the UTF-8 texts of
// the C interface. Windows-1252 is what Windows broadcast tools write; its five unused
// bytes map to the C1 controls so that every byte sequence decodes and re-encodes.
class TTextCodec {
public:
    // Code pages a CSET chunk may name that we decode and encode ourselves.
    static constexpr int CpAuto = 0;
    static constexpr int CpAscii = 20127;
    static constexpr int CpWindows1252 = 1252;
    static constexpr int CpLatin1 = 28591;
    static constexpr int CpUtf8 = 65001;

    static bool IsValidUtf8(std::string_view bytes);
    static bool HasNonAscii(std::string_view bytes);
    static bool IsKnownCodePage(int codePage);

    static std::string Cp1252ToUtf8(std::string_view bytes);
    // nullopt when a character has no Windows-1252 byte.
    static std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

    // Stored bytes to UTF-8: the code page decides when known, else UTF-8 when the bytes
    // are valid UTF-8 with non-ASCII content, else Windows-1252.
    static std::string Decode(std::string_view stored, int codePage);
    // UTF-8 to stored bytes that Decode turns back into the same text; nullopt when the
    // code page cannot hold the text.
    static std::optional<std::string> Encode(std::string_view utf8, int codePage);

    // Text handed in through the C interface: cut at the first NUL, and read as
    // Windows-1252 when it is not valid UTF-8, so that nothing is lost or replaced.
    static std::string FromCaller(std::string_view bytes);

    // Longest prefix of at most maxBytes bytes that does not end inside a UTF-8 character.
    static std::size_t CutLength(std::string_view utf8, std::size_t maxBytes);
};

} // namespace riffkit
