#include "ValueEscape.h"

std::string TValueEscape::Escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string TValueEscape::Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char next = text[i + 1];
        if (next == 'n') {
            out += '\n';
            ++i;
        } else if (next == 'r') {
            out += '\r';
            ++i;
        } else if (next == '\\') {
            out += '\\';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
