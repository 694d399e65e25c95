// The MPEG back end of the tag store: tags read once at open (TMpegFile), changes kept in
// memory, and a commit that re-reads the file under an exclusive lock and writes the
// planned edit in place through the redo journal (TMpegCommitter).
#include "MpegTagStore.h"

#include "MpegCommitter.h"
#include "MpegFile.h"
#include "PosixFileIo.h"
#include "PosixJournal.h"
#include "TagError.h"

#include <cerrno>
#include <cstring>

namespace riffkit {

namespace {

// The file opened for writing under the lock, with any interrupted save completed first.
struct TWritable {
    TPosixFileIo Io;
    TMpegCommitter::TIdentity Identity;
    std::unique_ptr<TPosixJournal> Journal;
};

std::unique_ptr<TWritable> OpenWritable(const std::string& path) {
    auto w = std::make_unique<TWritable>();
    if (!w->Io.Open(path, true)) {
        TTagError::Set(w->Io.OpenErrorText());
        return nullptr;
    }
    // Root may write any file: a file without write permission is still refused.
    if (w->Io.IsReadOnlyMode()) {
        TTagError::Set("file is read-only");
        return nullptr;
    }
    if (!w->Io.TryLockExclusive()) {
        TTagError::Set("another program is writing this file");
        return nullptr;
    }
    TPosixFileIo::TFacts facts;
    if (!w->Io.Facts(facts)) {
        TTagError::Set("cannot read the file");
        return nullptr;
    }
    w->Identity = {facts.FileSystem, facts.Inode};
    w->Journal = std::make_unique<TPosixJournal>(path, facts);
    switch (TMpegCommitter::Recover(w->Io, *w->Journal, w->Identity)) {
    case TMpegCommitter::TRecovery::Failed:
        TTagError::Set("an interrupted save of this file cannot be completed");
        return nullptr;
    case TMpegCommitter::TRecovery::Refused:
        return nullptr; // the reason names the journal
    default:
        return w;
    }
}

// A journal left by an interrupted save is completed before the file is read, when the
// file can be written; else the tags are read as they are.
void CompletePendingSave(const std::string& path, TPosixFileIo& reader) {
    TPosixFileIo::TFacts facts;
    if (!reader.Facts(facts))
        return;
    std::string refusal;
    if (!TPosixJournal(path, facts).OpenExisting(refusal) && refusal.empty())
        return;
    const bool hadReason = !TTagError::Text().empty();
    OpenWritable(path);
    reader.DropReadAhead(); // what it read before may be what the completed save replaced
    if (!hadReason)
        TTagError::Clear(); // reading goes on whether or not that worked
}

class TMpegTagStore : public TTagStore {
public:
    TMpegTagStore(std::string path, TMpegFile file)
        : Path(std::move(path)), File(std::move(file)) {}

    std::string GetTag(std::string_view key) const override {
        if (const auto found = Changes.find(key); found != Changes.end())
            return found->second.value_or(std::string());
        return Stored(key);
    }

    void SetTag(std::string_view key, std::string value) override {
        // A key an ID3v1-only file cannot hold is kept too: the save refuses it by name.
        if (value.empty())
            RemoveTag(key);
        else
            Changes[std::string(key)] = std::move(value);
    }

    void RemoveTag(std::string_view key) override {
        if (!Stored(key).empty() || Changes.count(key))
            Changes[std::string(key)] = std::nullopt;
    }

    std::string GetChunk(std::string_view chunkId) const override { return GetTag(chunkId); }
    void SetChunk(std::string_view chunkId, std::string value) override {
        SetTag(chunkId, std::move(value));
    }

    bool HasId3v2() const override { return File.HasId3v2(); }

    // As ReplayGain 2.0 user text frames; a save never adds an ID3v2 tag by itself.
    bool SetLoudness(const TLoudness& loudness) override {
        if (!File.HasId3v2()) {
            TTagError::Set("the file has no ID3v2 tag (AddId3v2 adds one): the loudness is not "
                           "stored");
            return false;
        }
        if (!loudness.Integrated || !loudness.TruePeak) {
            TTagError::Set("ReplayGain needs the integrated loudness and the true peak: the "
                           "loudness is not stored");
            return false;
        }
        Changes[TReplayGain::GainKey] = TReplayGain::GainText(*loudness.Integrated);
        Changes[TReplayGain::PeakKey] = TReplayGain::PeakText(*loudness.TruePeak);
        return true;
    }

    std::optional<TLoudness> Loudness() const override {
        TLoudness loudness;
        loudness.Integrated = TReplayGain::IntegratedFromGain(ReplayGainText(TReplayGain::GainKey));
        loudness.TruePeak = TReplayGain::TruePeakFromPeak(ReplayGainText(TReplayGain::PeakKey));
        return loudness.Empty() ? std::nullopt : std::optional(loudness);
    }

    bool Commit() override {
        // Values set back to what the file holds are no change.
        for (auto it = Changes.begin(); it != Changes.end();) {
            const std::string stored = Stored(it->first);
            if (it->second.value_or(std::string()) == stored || MeansNothing(*it))
                it = Changes.erase(it);
            else
                ++it;
        }
        if (Changes.empty())
            return true;
        auto writable = OpenWritable(Path);
        if (!writable)
            return false;
        std::string reason;
        // Read again under the lock: only the keys changed here are written.
        auto fresh = TMpegFile::Read(writable->Io, reason);
        if (!fresh) {
            TTagError::Set(reason);
            return false;
        }
        if (fresh->HasId3v2() != File.HasId3v2()) {
            TTagError::Set("the file was changed by another program: the file was not changed");
            return false;
        }
        auto edit = fresh->PlanSave(Changes, reason);
        if (!edit) {
            TTagError::Set(reason);
            return false;
        }
        if (!edit->Regions.empty() &&
            !TMpegCommitter::Commit(writable->Io, *writable->Journal, *edit, writable->Identity))
            return false;
        auto after = TMpegFile::Read(writable->Io, reason);
        if (after)
            File = std::move(*after);
        Changes.clear();
        return true;
    }

private:
    // On a file with only an ID3v1 tag, a key it has no field for reads as nothing; the
    // stored forms of nothing (blanks; "0", the no-fade flag off), which the editor writes
    // for every file, are no change there. Any other value is refused by the save.
    bool MeansNothing(const TMpegFile::TChanges::value_type& change) const {
        if (File.HasId3v2() || TMpegFile::IsId3v1Key(change.first) || !change.second)
            return false;
        const std::string& value = *change.second;
        return value.find_first_not_of(' ') == std::string::npos ||
               (change.first == "BFAD" && value == "0");
    }

    // A ReplayGain value as it will be after the commit, its description in any case.
    std::string ReplayGainText(std::string_view key) const {
        if (const auto found = Changes.find(key); found != Changes.end())
            return found->second.value_or(std::string());
        for (const auto& [name, value] : File.Values())
            if (TReplayGain::SameKey(name, key))
                return value;
        return std::string();
    }

    std::string Stored(std::string_view key) const {
        const auto& values = File.Values();
        const auto found = values.find(key);
        return found == values.end() ? std::string() : found->second;
    }

    std::string Path;
    TMpegFile File;
    TMpegFile::TChanges Changes;
};

} // namespace

std::unique_ptr<TTagStore> OpenMpegTagStore(const std::string& path, TPosixFileIo& io) {
    CompletePendingSave(path, io);
    std::string reason;
    auto file = TMpegFile::Read(io, reason);
    if (!file) {
        TTagError::Set(reason);
        return nullptr;
    }
    return std::make_unique<TMpegTagStore>(path, std::move(*file));
}

std::unique_ptr<TTagStore> OpenMpegTagStore(const std::string& path) {
    TPosixFileIo io;
    if (!io.Open(path, false)) {
        TTagError::Set(io.OpenErrorText());
        return nullptr;
    }
    return OpenMpegTagStore(path, io);
}

bool AddId3v2Tag(const std::string& path) {
    auto writable = OpenWritable(path);
    if (!writable)
        return false;
    if (!LooksLikeMpeg(writable->Io)) {
        TTagError::Set("not an MPEG audio file");
        return false;
    }
    std::string reason;
    auto file = TMpegFile::Read(writable->Io, reason);
    if (!file) {
        TTagError::Set(reason);
        return false;
    }
    if (file->HasId3v2())
        return true;
    const auto edit = file->PlanAddId3v2();
    return edit &&
           TMpegCommitter::Commit(writable->Io, *writable->Journal, *edit, writable->Identity);
}

} // namespace riffkit
