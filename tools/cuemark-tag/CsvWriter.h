#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Writes records in the CSV form of RFC 4180: fields separated by commas, records ended
// by CR LF, and a field holding a comma, a double quote, CR or LF enclosed in double
// quotes with its quotes doubled.
//
// The files are opened in spreadsheets, which run a cell that begins with "=", "+", "-",
// "@", a tab or a carriage return as a formula: such a cell is written with a leading
// apostrophe (shown as text, not as part of the value), except a plain number ("-1").
class TCsvWriter {
public:
    explicit TCsvWriter(std::ostream& out) : Out(out) {}

    void WriteRecord(const std::vector<std::string>& fields);
    // The field as written: neutralised, then quoted where needed.
    static std::string Field(std::string_view text);
    static std::string Neutralise(std::string_view text);

private:
    std::ostream& Out;
};
