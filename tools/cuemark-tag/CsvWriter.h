#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Writes records in the CSV form of RFC 4180: fields separated by commas, records ended
// by CR LF, and a field holding a comma, a double quote, CR or LF enclosed in double
// quotes with its quotes doubled.
class TCsvWriter {
public:
    explicit TCsvWriter(std::ostream& out) : Out(out) {}

    void WriteRecord(const std::vector<std::string>& fields);
    static std::string Field(std::string_view text);

private:
    std::ostream& Out;
};
