#pragma once

#include "LastError.h"

#include <exception>
#include <string>

// Runs a C operation's body; an exception becomes the last-error text and the failure
// result, so no C++ exception crosses the C interface.
template <typename TResult, typename TBody> TResult Guarded(TResult failure, TBody body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        try {
            TLastError::Set(std::string("Internal error: ") + e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            TLastError::Set("Internal error");
        } catch (...) {
        }
    }
    return failure;
}
