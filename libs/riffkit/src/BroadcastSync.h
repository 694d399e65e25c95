#pragma once

#include "BroadcastOptions.h"
#include "FileIo.h"
#include "RiffLayout.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace riffkit {

// What the post timers count against: sample frames of the audio.
struct TAudioExtent {
    std::uint32_t SampleRate = 0;
    std::uint64_t TotalFrames = 0; // 0 when unknown

    // From the fmt chunk and the data size over the block align, or the fact chunk's
    // sample count for audio that is not PCM (MPEG inside WAV).
    static TAudioExtent Read(TFileIo& io, const TRiffLayout& layout);
};

// The link between the INFO keys and the broadcast chunks: the cart a save writes from
// the values, the values a cart (or bext) stands for where the INFO key is empty, and the
// stored fields as a playout system reads them.
class TBroadcastSync {
public:
    using TValues = std::function<std::string(std::string_view key)>;
    struct TCart {
        std::optional<std::string> Body;    // nullopt: no cart
        std::vector<std::string> Shortened; // cart field names holding a shortened copy
    };

    // The cart the file should hold after a save with these values.
    static TCart InStep(const std::optional<std::string>& stored, const TValues& values,
                        const TBroadcastOptions& options, const TAudioExtent& extent);

    // The value of an INFO key (or "DISP") that the cart, else the bext description,
    // holds; "" when none.
    static std::string ReadBack(std::string_view key, const std::optional<std::string>& cart,
                                const std::optional<std::string>& bext, const TAudioExtent& extent);

    // Every stored field that holds something, named "cart.Title", "bext.Description" ...;
    // a post timer reads "USAGE frames", with "(N ms)" after it when the rate is known.
    static std::vector<std::pair<std::string, std::string>>
    Fields(const std::optional<std::string>& cart, const std::optional<std::string>& bext,
           const TAudioExtent& extent);

    // Keys the read-back covers.
    static bool IsMappedKey(std::string_view key);
};

} // namespace riffkit
