#pragma once

#include "BroadcastOptions.h"
#include "Loudness.h"

#include <optional>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace riffkit {

// The tags of the one open file, held in memory between open and close.
// Keys are four ASCII letters; values are UTF-8 text.
class TTagStore {
public:
    virtual ~TTagStore() = default;

    // INFO-style keys (GetTagInfo, SetTagInfo, RemoveTag); "" when absent.
    virtual std::string GetTag(std::string_view key) const = 0;
    virtual void SetTag(std::string_view key, std::string value) = 0;
    virtual void RemoveTag(std::string_view key) = 0;

    // Tags kept in a chunk of their own: "DISP", the title.
    virtual std::string GetChunk(std::string_view chunkId) const = 0;
    virtual void SetChunk(std::string_view chunkId, std::string value) = 0;

    virtual bool HasId3v2() const = 0;

    // The broadcast chunks (WAV only): how the next commit treats them, their stored fields
    // ("cart.Title" ...), and the cart fields the last commit stored shortened.
    virtual void SetBroadcastOptions(const TBroadcastOptions&) {}
    virtual std::vector<std::pair<std::string, std::string>> BroadcastFields() const { return {}; }
    virtual std::vector<std::string> ShortenedFields() const { return {}; }

    // Measured loudness, stored at the next commit where the format and the options allow:
    // false, with the reason in TTagError, when it will not be stored (nothing changes).
    virtual bool SetLoudness(const TLoudness&) = 0;
    // The loudness the file holds (or will hold after the commit); nullopt for none.
    virtual std::optional<TLoudness> Loudness() const = 0;

    // Writes the pending changes; true when they were stored or nothing changed.
    virtual bool Commit() = 0;
};

} // namespace riffkit
