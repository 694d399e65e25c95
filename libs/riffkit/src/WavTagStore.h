#pragma once

#include "BroadcastSync.h"
#include "FileIo.h"
#include "TagStore.h"
#include "WavTags.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace riffkit {

// The tags of one RIFF/WAVE file, read at open and committed at close. Where an INFO key
// (or the title) is empty and the file has a cart or bext chunk, the value it holds there is
// read instead, until the caller sets or removes the key. A commit after any change keeps
// the cart in step with the values, as the broadcast options say.
class TWavTagStore : public TTagStore {
public:
    // nullptr when the file cannot be read or is not RIFF/RF64/BW64 WAVE.
    static std::unique_ptr<TWavTagStore> Open(const std::string& path);
    // The same, read through `file`: that file already opened for reading.
    static std::unique_ptr<TWavTagStore> Open(const std::string& path, TFileIo& file);

    std::string GetTag(std::string_view key) const override;
    void SetTag(std::string_view key, std::string value) override;
    void RemoveTag(std::string_view key) override;
    std::string GetChunk(std::string_view chunkId) const override;
    void SetChunk(std::string_view chunkId, std::string value) override;
    bool HasId3v2() const override { return false; }
    // Under an exclusive flock; false when it is held elsewhere or the write fails.
    bool Commit() override;

    void SetBroadcastOptions(const TBroadcastOptions& options) override { Options = options; }
    std::vector<std::pair<std::string, std::string>> BroadcastFields() const override;
    std::vector<std::string> ShortenedFields() const override { return Shortened; }

    // Into the bext chunk's loudness fields; a file without one gets one only when the
    // options always write broadcast chunks, and Never leaves them all as they are.
    bool SetLoudness(const TLoudness& loudness) override;
    std::optional<TLoudness> Loudness() const override;

private:
    TWavTagStore(std::string path, TWavTags tags)
        : Path(std::move(path)), Current(std::move(tags)) {}
    // Keeps what the file holds before the first change (a store only read never copies).
    void KeepOriginal() {
        if (!Original)
            Original = Current;
    }

    // The stored value, else what the broadcast chunks hold for the key.
    std::string WithReadBack(std::string_view key, std::string stored) const;

    std::string Path;
    std::optional<TWavTags> Original; // what the file holds, once anything was changed
    TWavTags Current;
    bool OversizedBext = false;
    TAudioExtent Extent;
    TBroadcastOptions Options;
    std::set<std::string, std::less<>> Decided; // keys the caller set or removed
    bool Touched = false;
    std::vector<std::string> Shortened;
};

} // namespace riffkit
