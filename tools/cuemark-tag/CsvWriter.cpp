#include "CsvWriter.h"

#include <cctype>

namespace {

// An optional sign, digits with at most one decimal point, and nothing else.
bool IsPlainNumber(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (std::isdigit(c))
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

} // namespace

std::string TCsvWriter::Neutralise(std::string_view text) {
    if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos ||
        IsPlainNumber(text))
        return std::string(text);
    return "'" + std::string(text);
}

std::string TCsvWriter::Field(std::string_view raw) {
    const std::string text = Neutralise(raw);
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

void TCsvWriter::WriteRecord(const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            Out << ',';
        Out << Field(fields[i]);
    }
    Out << "\r\n";
}
