#pragma once

#include "FileIo.h"
#include "TagStore.h"
#include "WavTags.h"

#include <memory>
#include <string>

namespace riffkit {

// The tags of one RIFF/WAVE file, read at open and committed at close.
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

private:
    TWavTagStore(std::string path, TWavTags tags)
        : Path(std::move(path)), Original(tags), Current(std::move(tags)) {}

    std::string Path;
    TWavTags Original;
    TWavTags Current;
};

} // namespace riffkit
