#include "MpegCommitter.h"

#include "ByteOrder.h"
#include "TagError.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace riffkit {

namespace {

constexpr char Magic[8] = {'C', 'M', 'K', 'J', 'R', 'N', 'L', '1'};
constexpr std::uint64_t SlotHeader = 24; // index, source offset, length
constexpr std::uint64_t MaxRegionBytes = 1ull << 30;

std::uint64_t Fnv(std::string_view bytes, std::uint64_t hash = 1469598103934665603ull) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

void Put64(std::string& out, std::uint64_t v) {
    unsigned char b[8];
    TByteOrder::Put64(b, v);
    out.append(reinterpret_cast<const char*>(b), 8);
}

std::uint64_t Get64(const std::string& in, std::size_t at) {
    return TByteOrder::Get64(reinterpret_cast<const unsigned char*>(in.data() + at));
}

struct TJournalHead {
    TMpegCommitter::TIdentity Identity;
    TMpegEdit Edit;
    std::uint64_t StepSize = TMpegCommitter::StepSize;
    std::uint64_t SlotBase = 0;
};

std::string Serialise(const TMpegEdit& edit, TMpegCommitter::TIdentity identity,
                      std::uint64_t stepSize) {
    std::string out(Magic, 8);
    for (std::uint64_t v :
         {identity.Device, identity.Inode, stepSize, edit.OldSize, edit.FinalSize, edit.MoveFrom,
          edit.MoveLength, edit.Delta, static_cast<std::uint64_t>(edit.Regions.size())})
        Put64(out, v);
    for (const auto& region : edit.Regions) {
        Put64(out, region.Offset);
        Put64(out, region.Bytes.size());
        out += region.Bytes;
    }
    Put64(out, Fnv(out));
    return out;
}

std::optional<TJournalHead> ReadHead(TFileIo& journal) {
    const std::uint64_t size = journal.Size();
    std::string fixed(80, '\0');
    if (size < fixed.size() + 8 || !journal.Read(0, fixed.data(), fixed.size()) ||
        std::memcmp(fixed.data(), Magic, 8) != 0)
        return std::nullopt;
    TJournalHead head;
    head.Identity = {Get64(fixed, 8), Get64(fixed, 16)};
    head.StepSize = Get64(fixed, 24);
    TMpegEdit& edit = head.Edit;
    edit.OldSize = Get64(fixed, 32);
    edit.FinalSize = Get64(fixed, 40);
    edit.MoveFrom = Get64(fixed, 48);
    edit.MoveLength = Get64(fixed, 56);
    edit.Delta = Get64(fixed, 64);
    const std::uint64_t count = Get64(fixed, 72);
    if (head.StepSize == 0 || head.StepSize > TMpegCommitter::StepSize)
        return std::nullopt;
    std::string all = fixed;
    std::uint64_t at = fixed.size();
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string lengths(16, '\0');
        if (at + 16 > size || !journal.Read(at, lengths.data(), 16))
            return std::nullopt;
        const std::uint64_t length = Get64(lengths, 8);
        if (length > MaxRegionBytes || length > size - at - 16)
            return std::nullopt;
        std::string bytes(static_cast<std::size_t>(length), '\0');
        if (length > 0 && !journal.Read(at + 16, bytes.data(), bytes.size()))
            return std::nullopt;
        all += lengths;
        all += bytes;
        edit.Regions.push_back({Get64(lengths, 0), std::move(bytes)});
        at += 16 + length;
    }
    std::string check(8, '\0');
    if (at + 8 > size || !journal.Read(at, check.data(), 8) || Get64(check, 0) != Fnv(all))
        return std::nullopt;
    if (edit.Delta > 0 && edit.MoveFrom + edit.MoveLength < edit.MoveFrom)
        return std::nullopt;
    head.SlotBase = at + 8;
    return head;
}

struct TSlot {
    std::uint64_t Index = 0;
    std::uint64_t Source = 0;
    std::string Bytes;
};

std::uint64_t SlotOffset(const TJournalHead& head, std::uint64_t position) {
    return head.SlotBase + position * (SlotHeader + head.StepSize + 8);
}

bool WriteSlot(TFileIo& journal, const TJournalHead& head, const TSlot& slot) {
    std::string out;
    Put64(out, slot.Index);
    Put64(out, slot.Source);
    Put64(out, slot.Bytes.size());
    out += slot.Bytes;
    Put64(out, Fnv(out));
    return journal.Write(SlotOffset(head, slot.Index % 2), out.data(), out.size()) &&
           journal.Sync();
}

std::optional<TSlot> ReadSlot(TFileIo& journal, const TJournalHead& journalHead,
                              std::uint64_t position) {
    const std::uint64_t at = SlotOffset(journalHead, position);
    const std::uint64_t size = journal.Size();
    std::string head(SlotHeader, '\0');
    if (at + SlotHeader > size || !journal.Read(at, head.data(), head.size()))
        return std::nullopt;
    const std::uint64_t length = Get64(head, 16);
    if (length == 0 || length > journalHead.StepSize || at + SlotHeader + length + 8 > size ||
        Get64(head, 0) % 2 != position)
        return std::nullopt;
    std::string rest(static_cast<std::size_t>(length + 8), '\0');
    if (!journal.Read(at + SlotHeader, rest.data(), rest.size()))
        return std::nullopt;
    if (Get64(rest, length) != Fnv(rest.substr(0, length), Fnv(head)))
        return std::nullopt;
    return TSlot{Get64(head, 0), Get64(head, 8), rest.substr(0, length)};
}

// The later of the two slots that read back whole.
std::optional<TSlot> LatestSlot(TFileIo& journal, const TJournalHead& head) {
    auto a = ReadSlot(journal, head, 0);
    auto b = ReadSlot(journal, head, 1);
    if (a && b)
        return a->Index > b->Index ? a : b;
    return a ? a : b;
}

// Moves the audio (resuming after `resume` when given) and writes the new bytes.
bool Apply(TFileIo& file, TFileIo& journal, const TJournalHead& head,
           const std::optional<TSlot>& resume) {
    const TMpegEdit& edit = head.Edit;
    if (edit.Delta > 0) {
        std::uint64_t next = edit.MoveFrom + edit.MoveLength;
        std::uint64_t index = 0;
        if (resume) {
            if (resume->Source < edit.MoveFrom ||
                resume->Source + resume->Bytes.size() > edit.MoveFrom + edit.MoveLength)
                return false;
            if (!(file.Write(resume->Source + edit.Delta, resume->Bytes.data(),
                             resume->Bytes.size()) &&
                  file.Sync()))
                return false;
            next = resume->Source;
            index = resume->Index + 1;
        }
        TSlot slot;
        while (next > edit.MoveFrom) {
            const std::uint64_t n = std::min(head.StepSize, next - edit.MoveFrom);
            next -= n;
            slot.Index = index++;
            slot.Source = next;
            slot.Bytes.assign(static_cast<std::size_t>(n), '\0');
            if (!file.Read(next, slot.Bytes.data(), slot.Bytes.size()))
                return false;
            if (!WriteSlot(journal, head, slot))
                return false;
            if (!(file.Write(next + edit.Delta, slot.Bytes.data(), slot.Bytes.size()) &&
                  file.Sync()))
                return false;
        }
    }
    for (const auto& region : edit.Regions)
        if (!file.Write(region.Offset, region.Bytes.data(), region.Bytes.size()))
            return false;
    if (file.Size() > edit.FinalSize && !file.Truncate(edit.FinalSize))
        return false;
    return file.Sync();
}

bool SameIdentity(TMpegCommitter::TIdentity a, TMpegCommitter::TIdentity b) {
    return (a.Device == 0 && a.Inode == 0) || (b.Device == 0 && b.Inode == 0) ||
           (a.Device == b.Device && a.Inode == b.Inode);
}

} // namespace

bool TMpegCommitter::Commit(TFileIo& file, TJournal& journal, const TMpegEdit& edit,
                            TIdentity identity, std::uint64_t stepSize) {
    stepSize = std::clamp<std::uint64_t>(stepSize, 1, StepSize);
    const std::string head = Serialise(edit, identity, stepSize);
    TFileIo* io = journal.Create();
    if (!io) {
        TTagError::Set("cannot create the save journal beside the file");
        return false;
    }
    if (!(io->Write(0, head.data(), head.size()) && journal.MakeDurable())) {
        journal.Remove();
        TTagError::Set("cannot write the save journal: the file was not changed");
        return false;
    }
    TJournalHead parsed{identity, edit, stepSize, head.size()};
    if (Apply(file, *io, parsed, std::nullopt)) {
        journal.Remove(); // a journal left behind is replayed once more: harmless
        return true;
    }
    // One more try from the journal, as the next open would do.
    if (Recover(file, journal, identity) == TRecovery::Replayed)
        return true;
    TTagError::Set("write error: the save is completed from its journal when the file is "
                   "next opened");
    return false;
}

TMpegCommitter::TRecovery TMpegCommitter::Recover(TFileIo& file, TJournal& journal,
                                                  TIdentity identity) {
    TFileIo* io = journal.OpenExisting();
    if (!io)
        return TRecovery::None;
    const auto head = ReadHead(*io);
    const std::uint64_t size = file.Size();
    if (!head || !SameIdentity(head->Identity, identity) || size < head->Edit.OldSize ||
        size > std::max(head->Edit.FinalSize, head->Edit.OldSize + head->Edit.Delta)) {
        // Never complete: the file was not touched under it. Or not this file's.
        journal.Remove();
        return TRecovery::Discarded;
    }
    const auto slot = head->Edit.Delta > 0 ? LatestSlot(*io, *head) : std::nullopt;
    if (!Apply(file, *io, *head, slot))
        return TRecovery::Failed;
    journal.Remove();
    return TRecovery::Replayed;
}

} // namespace riffkit
