#pragma once

#include <string>
#include <string_view>

namespace riffkit::Id3v1Genres {

// The ID3v1 genre numbers 0 to 147 (standard list and Winamp extension) with the names
// the editor offers, so that an ID3v1 genre byte reads and writes as the same name.
inline constexpr int Count = 148;

// The name of a genre number; "" outside 0..Count - 1 (255 is "no genre").
std::string Name(int number);

// The number of a genre name, letter case ignored; the common spellings of other tools
// are accepted too. -1 when the name is not a genre.
int Number(std::string_view name);

} // namespace riffkit::Id3v1Genres
