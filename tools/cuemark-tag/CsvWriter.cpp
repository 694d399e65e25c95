#include "CsvWriter.h"

std::string TCsvWriter::Field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
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
