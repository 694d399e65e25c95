#include "TagError.h"

namespace riffkit {

namespace {
std::string& Reason() {
    static std::string reason;
    return reason;
}
} // namespace

void TTagError::Clear() {
    Reason().clear();
}

void TTagError::Set(std::string reason) {
    if (Reason().empty())
        Reason() = std::move(reason);
}

const std::string& TTagError::Text() {
    return Reason();
}

} // namespace riffkit
