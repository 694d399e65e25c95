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
    std::unique_ptr<TWavTagStore> store(new TWavTagStore(path, std::move(result.Tags)));
    store->OversizedBext = result.OversizedBext;
    store->Extent = TAudioExtent::Read(io, *layout);
    return store;
}

std::string TWavTagStore::WithReadBack(std::string_view key, std::string stored) const {
    if (Decided.contains(key) || stored.find_first_not_of(' ') != std::string::npos ||
        !TBroadcastSync::IsMappedKey(key))
        return stored;
    std::string back = TBroadcastSync::ReadBack(key, Current.Cart, Current.Bext, Extent);
    return back.empty() ? stored : back;
}

std::string TWavTagStore::GetTag(std::string_view key) const {
    return WithReadBack(key, Current.Get(key));
}

void TWavTagStore::SetTag(std::string_view key, std::string value) {
    KeepOriginal();
    Decided.emplace(key);
    Touched = true;
    Current.Set(key, std::move(value));
}

void TWavTagStore::RemoveTag(std::string_view key) {
    KeepOriginal();
    Decided.emplace(key);
    Touched = true;
    Current.Remove(key);
}

std::string TWavTagStore::GetChunk(std::string_view chunkId) const {
    return chunkId == "DISP" ? WithReadBack("DISP", Current.Title) : std::string();
}

void TWavTagStore::SetChunk(std::string_view chunkId, std::string value) {
    if (chunkId != "DISP")
        return;
    KeepOriginal();
    Decided.emplace("DISP");
    Touched = true;
    Current.SetTitle(std::move(value));
}

std::vector<std::pair<std::string, std::string>> TWavTagStore::BroadcastFields() const {
    return TBroadcastSync::Fields(Current.Cart, Current.Bext, Extent);
}

bool TWavTagStore::SetLoudness(const TLoudness& loudness) {
    using TMode = TBroadcastOptions::TCartMode;
    if (Options.Mode == TMode::Never) {
        TTagError::Set("the broadcast options leave the broadcast chunks unchanged: the "
                       "loudness is not stored");
        return false;
    }
    if (!Current.Bext && Options.Mode == TMode::Keep) {
        TTagError::Set("the file has no bext chunk and the broadcast options add none: the "
                       "loudness is not stored");
        return false;
    }
    if (OversizedBext) {
        TTagError::Set("the file's bext chunk is larger than 1 MB: the loudness is not stored");
        return false;
    }
    KeepOriginal();
    Current.Bext = TBextLoudness::Written(Current.Bext, loudness);
    return true;
}

std::optional<TLoudness> TWavTagStore::Loudness() const {
    const auto loudness = Current.Bext ? TBextLoudness::Read(*Current.Bext) : std::nullopt;
    return loudness && !loudness->Empty() ? loudness : std::nullopt;
}

bool TWavTagStore::Commit() {
    Shortened.clear();
    if (!Original)
        return true; // nothing was changed
    std::vector<std::string> shortened;
    if (Touched) {
        const auto values = [this](std::string_view key) {
            return key == "DISP" ? GetChunk(key) : GetTag(key);
        };
        auto cart = TBroadcastSync::InStep(Current.Cart, values, Options, Extent);
        Current.Cart = std::move(cart.Body);
        shortened = std::move(cart.Shortened);
    }
    if (Current.SameValues(*Original)) {
        Shortened = std::move(shortened);
        return true;
    }
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
    Shortened = std::move(shortened);
    Original = Current;
    return true;
}

} // namespace riffkit
