#pragma once

#include <optional>
#include <string>
#include <string_view>

// The one-line form of a key's value on the command line and in `show` output: a line
// feed is written "\n", a carriage return "\r" and a backslash "\\", so every value fits
// on one line and reads back unchanged.
class TValueEscape {
public:
    static std::string Escape(std::string_view value);
    // Reverses Escape. A backslash before any other character, or at the end, stands for
    // itself, so paths typed with single backslashes survive.
    static std::string Unescape(std::string_view text);
};
