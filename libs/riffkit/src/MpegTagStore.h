#pragma once

#include "TagStore.h"

#include <memory>
#include <string>

namespace riffkit {

// True when the content is MPEG audio: an ID3v2 header, a valid MPEG audio frame
// sync near the start, or an ID3v1 tag at the end.
bool LooksLikeMpeg(const std::string& path);

// The tags of an MPEG audio file through TagLib; nullptr when it cannot be opened.
std::unique_ptr<TTagStore> OpenMpegTagStore(const std::string& path);

// Adds an ID3v2 tag carrying the ID3v1 values to a file that is not open; false on failure.
bool AddId3v2Tag(const std::string& path);

} // namespace riffkit
