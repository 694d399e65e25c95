#pragma once

namespace riffkit {

// How a save treats the cart chunk, and which post timers it writes.
struct TBroadcastOptions {
    enum class TCartMode { Keep, Always, Never };
    enum class TTimerProfile { Common, Genesys };
    TCartMode Mode = TCartMode::Keep; // Keep: in step when the file has a cart
    TTimerProfile Profile = TTimerProfile::Common;
};

} // namespace riffkit
