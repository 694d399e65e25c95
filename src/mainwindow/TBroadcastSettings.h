#pragma once

class TProfileFile;

// The "Broadcast chunks" setting in Cuemark.ini (section "Broadcast"): what a save does with
// a WAV file's cart chunk, and the post timers it writes. Read at start and written as soon
// as the user changes it; the codes are the tagging library's.
struct TBroadcastSettings {
    enum TMode { Keep = 0, Always = 1, Never = 2 };
    enum TProfile { Common = 0, Genesys = 1 };

    int Mode = Keep;
    int Profile = Common;

    // Unknown texts read as the defaults.
    static TBroadcastSettings Read(const TProfileFile& file);
    bool Write(TProfileFile& file) const;
};
