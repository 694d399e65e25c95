#include "LastError.h"

#include <mutex>

namespace {
std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
std::string& Text() {
    static std::string text;
    return text;
}
} // namespace

void TLastError::Set(const std::string& text) {
    std::lock_guard guard(Lock());
    Text() = text;
}

std::string TLastError::Get() {
    std::lock_guard guard(Lock());
    return Text();
}
