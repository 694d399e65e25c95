#pragma once

#include "WavTags.h"

#include <optional>
#include <string>

namespace riffkit {

// Serialises tags as the chunks a commit writes: a DISP chunk (type 1, text, NUL) and a
// LIST/INFO list, each padded to an even size.
class TWavTagBlock {
public:
    // nullopt when a text cannot be stored in the code page, or the block is too large.
    // withTitle/withInfo force the chunk even when empty, so that it shadows older ones.
    static std::optional<std::string> Build(const TWavTags& tags, int codePage, bool withTitle,
                                            bool withInfo);
};

} // namespace riffkit
