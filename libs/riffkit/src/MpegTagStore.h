#pragma once

#include "PosixFileIo.h"
#include "TagStore.h"

#include <memory>
#include <string>

namespace riffkit {

// True when the content is MPEG audio: an ID3v2 header, a valid MPEG audio frame
// sync near the start, or an ID3v1 tag at the end.
// Reads only through `file` (pread), so a caller can probe the one descriptor it opened.
bool LooksLikeMpeg(TFileIo& file);
bool LooksLikeMpeg(const std::string& path);

// The tags of the MPEG audio file at path, read through `file` (that file, opened for
// reading); nullptr when they cannot be read.
std::unique_ptr<TTagStore> OpenMpegTagStore(const std::string& path, TPosixFileIo& file);
std::unique_ptr<TTagStore> OpenMpegTagStore(const std::string& path);

// Adds an ID3v2 tag carrying the ID3v1 values to a file that is not open; false on failure.
bool AddId3v2Tag(const std::string& path);

} // namespace riffkit
