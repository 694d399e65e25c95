#pragma once

#include <string>

namespace riffkit {

// The reason for the last failed open or close, kept for GetTagLastError. Set where a
// failure is found, so the text names the real cause; the first reason set wins.
class TTagError {
public:
    static void Clear();
    // Keeps the first reason of an operation: later, more generic ones do not hide it.
    static void Set(std::string reason);
    static const std::string& Text();
};

} // namespace riffkit
