#include "WavTagStore.h"

#include "PosixFileIo.h"
#include "RiffChunkWalker.h"
#include "TagError.h"
#include "WavCommitter.h"
#include "WavTagReader.h"

#include <cerrno>
#include <cstring>

namespace riffkit {

std::unique_ptr<TWavTagStore> TWavTagStore::Open(const std::string& path) {
    TPosixFileIo io;
    if (!io.Open(path, false)) {
        TTagError::Set(io.OpenErrorText());
        return nullptr;
    }
    return Open(path, io);
}

std::unique_ptr<TWavTagStore> TWavTagStore::Open(const std::string& path, TFileIo& io) {
    auto layout = TRiffChunkWalker::Walk(io);
    if (!layout) {
        TTagError::Set("not a readable RIFF/WAVE file");
        return nullptr;
    }
    auto result = TWavTagReader::Read(io, *layout);
    return std::unique_ptr<TWavTagStore>(new TWavTagStore(path, std::move(result.Tags)));
}

std::string TWavTagStore::GetTag(std::string_view key) const {
    return Current.Get(key);
}

void TWavTagStore::SetTag(std::string_view key, std::string value) {
    Current.Set(key, std::move(value));
}

void TWavTagStore::RemoveTag(std::string_view key) {
    Current.Remove(key);
}

std::string TWavTagStore::GetChunk(std::string_view chunkId) const {
    return chunkId == "DISP" ? Current.Title : std::string();
}

void TWavTagStore::SetChunk(std::string_view chunkId, std::string value) {
    if (chunkId == "DISP")
        Current.SetTitle(std::move(value));
}

bool TWavTagStore::Commit() {
    if (Current.SameValues(Original))
        return true;
    TPosixFileIo io;
    if (!io.Open(Path, true)) {
        TTagError::Set(io.OpenErrorText());
        return false;
    }
    // Root may write any file: a file without write permission is still refused.
    if (io.IsReadOnlyMode()) {
        TTagError::Set("file is read-only");
        return false;
    }
    if (!io.TryLockExclusive()) {
        TTagError::Set("another program is writing this file");
        return false;
    }
    if (!TWavCommitter::Commit(io, Current))
        return false;
    Original = Current;
    return true;
}

} // namespace riffkit
