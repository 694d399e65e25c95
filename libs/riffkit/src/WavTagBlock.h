#pragma once

#include "WavTags.h"

#include <optional>
#include <string>

namespace riffkit {

// Serialises tags as the chunks a commit writes: a DISP chunk (type 1, text, NUL), a
// LIST/INFO list and the cart and bext chunks when there are, each padded to an even size.
class TWavTagBlock {
public:
    // nullopt when a text cannot be stored in the code page, or the block is too large.
    // withTitle/withInfo force the chunk even when empty, so that it shadows older ones.
    // oneEncoding: every value in the code page, stored bytes of another encoding included.
    // cartStandIn, bextStandIn: an empty chunk where the tags have none, shadowing a later one.
    static std::optional<std::string> Build(const TWavTags& tags, int codePage, bool withTitle,
                                            bool withInfo, bool oneEncoding = false,
                                            bool cartStandIn = false, bool bextStandIn = false);
    // The one encoding for a file without CSET: UTF-8 when the values it holds that are not
    // ASCII are all UTF-8; else Windows-1252 when every target value fits (and does not read
    // back as UTF-8); else UTF-8.
    static int ChooseEncoding(const TWavTags& stored, const TWavTags& target);
};

} // namespace riffkit
