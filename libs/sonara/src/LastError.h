#pragma once

#include <string>

// The text of the library's last failure, shared by all threads.
class TLastError {
public:
    static void Set(const std::string& text);
    static std::string Get();
};
