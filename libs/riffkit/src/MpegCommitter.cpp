#include "MpegCommitter.h"

#include "ByteOrder.h"
#include "TagError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace riffkit {

namespace {

constexpr char Magic[8] = {'C', 'M', 'K', 'J', 'R', 'N', 'L', '2'};
constexpr std::uint64_t FixedHead = 80;  // magic and nine numbers
constexpr std::uint64_t SlotHeader = 24; // index, source offset, length
constexpr std::uint64_t MaxRegionBytes = 1ull << 30;
constexpr std::uint64_t MaxSteps = 1ull << 24;

std::uint64_t Fnv(std::string_view bytes, std::uint64_t hash = 1469598103934665603ull) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// The checksum that tells a region's old bytes from its new ones: eight bytes at a step,
// as it runs over the whole moved audio when a save is checked.
std::uint64_t Sum(std::string_view bytes) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ bytes.size();
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        hash = (hash ^ word) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    hash = Fnv(bytes.substr(at), hash);
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    return hash ^ (hash >> 33);
}

void Put64(std::string& out, std::uint64_t v) {
    unsigned char b[8];
    TByteOrder::Put64(b, v);
    out.append(reinterpret_cast<const char*>(b), 8);
}

std::uint64_t Get64(const std::string& in, std::size_t at) {
    return TByteOrder::Get64(reinterpret_cast<const unsigned char*>(in.data() + at));
}

bool OutOfSpace(int error) {
    return error == ENOSPC || error == EDQUOT;
}

// One move step: the bytes [Source, Source + Length) go Delta further on.
struct TStep {
    std::uint64_t Source = 0;
    std::uint64_t Length = 0;
    std::uint64_t OldSum = 0; // of the target before the step
    std::uint64_t NewSum = 0; // of the target after it (the source's bytes)
};

struct TJournalHead {
    TMpegCommitter::TIdentity Identity;
    TMpegEdit Edit;
    std::uint64_t StepSize = TMpegCommitter::StepSize;
    std::vector<std::uint64_t> RegionOldSums;
    std::vector<TStep> Steps; // from the end of the audio backwards
    std::uint64_t SlotBase = 0;

    std::uint64_t SlotStride() const {
        return SlotHeader + std::min(StepSize, Edit.MoveLength) + 8;
    }
    std::uint64_t Size() const { return SlotBase + (Steps.empty() ? 0 : 2 * SlotStride()); }
};

// The steps of a move, without their checksums; empty when the sizes make no sense.
std::vector<TStep> PlanSteps(const TMpegEdit& edit, std::uint64_t stepSize) {
    std::vector<TStep> steps;
    if (edit.Delta == 0 || edit.MoveLength == 0)
        return steps;
    const std::uint64_t end = edit.MoveFrom + edit.MoveLength;
    if (end < edit.MoveFrom || end + edit.Delta < end || edit.MoveLength / stepSize >= MaxSteps)
        return steps;
    for (std::uint64_t top = edit.MoveFrom + edit.MoveLength; top > edit.MoveFrom;) {
        const std::uint64_t n = std::min(stepSize, top - edit.MoveFrom);
        top -= n;
        steps.push_back({top, n, 0, 0});
    }
    return steps;
}

// Reads what is there; bytes past the end of the file read as the zeros it grows with.
std::optional<std::string> ReadPadded(TFileIo& file, std::uint64_t offset, std::uint64_t n) {
    std::string out(static_cast<std::size_t>(n), '\0');
    const std::uint64_t size = file.Size();
    if (offset < size) {
        const std::uint64_t m = std::min(n, size - offset);
        if (m > 0 && !file.Read(offset, out.data(), static_cast<std::size_t>(m)))
            return std::nullopt;
    }
    return out;
}

std::string Serialise(const TJournalHead& head) {
    const TMpegEdit& edit = head.Edit;
    std::string out(Magic, 8);
    for (std::uint64_t v : {head.Identity.FileSystem, head.Identity.Inode, head.StepSize,
                            edit.OldSize, edit.FinalSize, edit.MoveFrom, edit.MoveLength,
                            edit.Delta, static_cast<std::uint64_t>(edit.Regions.size())})
        Put64(out, v);
    for (std::size_t i = 0; i < edit.Regions.size(); ++i) {
        Put64(out, edit.Regions[i].Offset);
        Put64(out, edit.Regions[i].Bytes.size());
        Put64(out, head.RegionOldSums[i]);
        out += edit.Regions[i].Bytes;
    }
    Put64(out, head.Steps.size());
    for (const TStep& step : head.Steps) {
        Put64(out, step.OldSum);
        Put64(out, step.NewSum);
    }
    Put64(out, Fnv(out));
    return out;
}

std::optional<TJournalHead> ReadHead(TFileIo& journal) {
    const std::uint64_t size = journal.Size();
    std::string all(FixedHead, '\0');
    if (size < FixedHead + 16 || !journal.Read(0, all.data(), all.size()) ||
        std::memcmp(all.data(), Magic, 8) != 0)
        return std::nullopt;
    TJournalHead head;
    head.Identity = {Get64(all, 8), Get64(all, 16)};
    head.StepSize = Get64(all, 24);
    TMpegEdit& edit = head.Edit;
    edit.OldSize = Get64(all, 32);
    edit.FinalSize = Get64(all, 40);
    edit.MoveFrom = Get64(all, 48);
    edit.MoveLength = Get64(all, 56);
    edit.Delta = Get64(all, 64);
    const std::uint64_t count = Get64(all, 72);
    if (head.StepSize == 0 || head.StepSize > TMpegCommitter::StepSize || count > size)
        return std::nullopt;
    std::uint64_t at = FixedHead;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string fields(24, '\0');
        if (at + 24 > size || !journal.Read(at, fields.data(), 24))
            return std::nullopt;
        const std::uint64_t length = Get64(fields, 8);
        if (length > MaxRegionBytes || length > size - at - 24)
            return std::nullopt;
        std::string bytes(static_cast<std::size_t>(length), '\0');
        if (length > 0 && !journal.Read(at + 24, bytes.data(), bytes.size()))
            return std::nullopt;
        all += fields;
        all += bytes;
        edit.Regions.push_back({Get64(fields, 0), std::move(bytes)});
        head.RegionOldSums.push_back(Get64(fields, 16));
        at += 24 + length;
    }
    std::string number(8, '\0');
    if (at + 8 > size || !journal.Read(at, number.data(), 8))
        return std::nullopt;
    all += number;
    at += 8;
    // The journal's own count must fit in what follows before the steps are planned: a
    // damaged head (a huge move in tiny steps) must not make us plan millions of steps.
    const std::uint64_t steps = Get64(number, 0);
    if (steps > MaxSteps || at > size || steps * 16 + 8 > size - at)
        return std::nullopt;
    const std::uint64_t planned =
        edit.Delta == 0 || edit.MoveLength == 0
            ? 0
            : edit.MoveLength / head.StepSize + (edit.MoveLength % head.StepSize != 0 ? 1 : 0);
    if (steps != planned)
        return std::nullopt;
    head.Steps = PlanSteps(edit, head.StepSize);
    if (steps != head.Steps.size())
        return std::nullopt;
    std::string sums(static_cast<std::size_t>(steps * 16), '\0');
    if (steps > 0 && !journal.Read(at, sums.data(), sums.size()))
        return std::nullopt;
    for (std::size_t i = 0; i < head.Steps.size(); ++i) {
        head.Steps[i].OldSum = Get64(sums, 16 * i);
        head.Steps[i].NewSum = Get64(sums, 16 * i + 8);
    }
    all += sums;
    at += sums.size();
    std::string check(8, '\0');
    if (!journal.Read(at, check.data(), 8) || Get64(check, 0) != Fnv(all))
        return std::nullopt;
    if (edit.Delta > 0 && head.Steps.empty() && edit.MoveLength > 0)
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
    return head.SlotBase + position * head.SlotStride();
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

// Moves the audio from step `first` on and writes the new bytes. The first step's bytes
// may be given (already verified, from a slot when fromSlot); every other step's source is
// checked against the journal before it is copied, so a replay stops at a verified boundary.
bool Apply(TFileIo& file, TFileIo& journal, const TJournalHead& head, std::size_t first,
           std::optional<std::string> firstBytes, bool fromSlot) {
    const TMpegEdit& edit = head.Edit;
    for (std::size_t j = first; j < head.Steps.size(); ++j) {
        const TStep& step = head.Steps[j];
        std::string bytes;
        if (j == first && firstBytes) {
            bytes = std::move(*firstBytes);
        } else {
            auto read = ReadPadded(file, step.Source, step.Length);
            if (!read || Sum(*read) != step.NewSum)
                return false;
            bytes = std::move(*read);
        }
        // A slot the bytes came from is not written again: a cut rewrite would lose them.
        if (!(j == first && fromSlot) && !WriteSlot(journal, head, {j, step.Source, bytes}))
            return false;
        if (!(file.Write(step.Source + edit.Delta, bytes.data(), bytes.size()) && file.Sync()))
            return false;
    }
    for (const auto& region : edit.Regions)
        if (!file.Write(region.Offset, region.Bytes.data(), region.Bytes.size()))
            return false;
    if (file.Size() > edit.FinalSize && !file.Truncate(edit.FinalSize))
        return false;
    return file.Sync();
}

// Where the file stands against a journal.
struct TState {
    enum { Unknown, Old, Resume } Kind = Unknown;
    std::size_t Step = 0; // Resume: the first step to do (Steps.size(): only the new bytes)
    std::optional<std::string> Bytes;
    bool FromSlot = false;
};

constexpr int IsOld = 1, IsNew = 2;

TState Locate(TFileIo& file, TFileIo& journal, const TJournalHead& head) {
    const TMpegEdit& edit = head.Edit;
    const std::uint64_t size = file.Size();
    if (size < std::min(edit.OldSize, edit.FinalSize) ||
        size > std::max(edit.OldSize, edit.FinalSize))
        return {};
    std::vector<int> steps, regions;
    for (const TStep& step : head.Steps) {
        const auto bytes = ReadPadded(file, step.Source + edit.Delta, step.Length);
        if (!bytes)
            return {};
        const std::uint64_t sum = Sum(*bytes);
        steps.push_back((sum == step.OldSum ? IsOld : 0) | (sum == step.NewSum ? IsNew : 0));
    }
    for (std::size_t i = 0; i < edit.Regions.size(); ++i) {
        const auto& region = edit.Regions[i];
        const auto bytes = ReadPadded(file, region.Offset, region.Bytes.size());
        if (!bytes)
            return {};
        regions.push_back((Sum(*bytes) == head.RegionOldSums[i] ? IsOld : 0) |
                          (*bytes == region.Bytes ? IsNew : 0));
    }
    const auto all = [](const std::vector<int>& v, std::size_t from, std::size_t to, int bit) {
        for (std::size_t i = from; i < to; ++i)
            if (!(v[i] & bit))
                return false;
        return true;
    };
    const std::size_t count = steps.size();
    if (all(steps, 0, count, IsOld) && all(regions, 0, regions.size(), IsOld))
        return {TState::Old, 0, std::nullopt, false};
    for (std::size_t k = 0; k <= count; ++k) {
        if (!all(steps, 0, k, IsNew))
            break;
        if (k == count) {
            // Moves done: the new bytes are redone from the journal. They are written in
            // order, so only the one after the last new region may have been cut.
            std::size_t cut = 0;
            while (cut < regions.size() && (regions[cut] & IsNew))
                ++cut;
            if (cut == regions.size() || all(regions, cut + 1, regions.size(), IsOld))
                return {TState::Resume, k, std::nullopt, false};
            break;
        }
        if (!all(steps, k + 1, count, IsOld) || !all(regions, 0, regions.size(), IsOld))
            continue;
        const TStep& step = head.Steps[k];
        if (const auto slot = ReadSlot(journal, head, k % 2);
            slot && slot->Index == k && slot->Source == step.Source &&
            slot->Bytes.size() == step.Length && Sum(slot->Bytes) == step.NewSum)
            return {TState::Resume, k, slot->Bytes, true};
        if (auto source = ReadPadded(file, step.Source, step.Length);
            source && Sum(*source) == step.NewSum)
            return {TState::Resume, k, std::move(source), false};
    }
    return {};
}

std::optional<std::string> ReadAll(TFileIo& io) {
    return ReadPadded(io, 0, io.Size());
}

} // namespace

bool TMpegCommitter::Commit(TFileIo& file, TJournal& journal, const TMpegEdit& edit,
                            TIdentity identity, std::uint64_t stepSize) {
    TJournalHead head;
    head.Identity = identity;
    head.Edit = edit;
    head.StepSize = std::clamp<std::uint64_t>(stepSize, 1, StepSize);
    head.Steps = PlanSteps(edit, head.StepSize);
    if (edit.Delta > 0 && edit.MoveLength > 0 && head.Steps.empty()) {
        TTagError::Set("the save cannot be planned: the file was not changed");
        return false;
    }
    // The checksums of every region the save writes, before and after.
    for (TStep& step : head.Steps) {
        const auto target = ReadPadded(file, step.Source + edit.Delta, step.Length);
        const auto source = ReadPadded(file, step.Source, step.Length);
        if (!target || !source) {
            TTagError::Set("cannot read the file: the file was not changed");
            return false;
        }
        step.OldSum = Sum(*target);
        step.NewSum = Sum(*source);
    }
    const std::uint64_t moveTargetFrom = edit.MoveFrom + edit.Delta;
    const std::uint64_t moveTargetTo = moveTargetFrom + edit.MoveLength;
    for (const auto& region : edit.Regions) {
        // The new bytes never land on moved audio: the journal tells them apart.
        if (!head.Steps.empty() && region.Offset < moveTargetTo &&
            region.Offset + region.Bytes.size() > moveTargetFrom) {
            TTagError::Set("the save cannot be planned: the file was not changed");
            return false;
        }
        const auto old = ReadPadded(file, region.Offset, region.Bytes.size());
        if (!old) {
            TTagError::Set("cannot read the file: the file was not changed");
            return false;
        }
        head.RegionOldSums.push_back(Sum(*old));
    }
    const std::string bytes = Serialise(head);
    head.SlotBase = bytes.size();

    TFileIo* io = journal.Create();
    if (!io) {
        TTagError::Set(OutOfSpace(errno) ? "not enough space on the disk: the file was not changed"
                                         : "cannot create the save journal " + journal.Name() +
                                               ": the file was not changed");
        return false;
    }
    errno = 0;
    if (!(io->Reserve(head.Size()) && io->Write(0, bytes.data(), bytes.size()) &&
          journal.MakeDurable())) {
        const int error = errno;
        journal.Remove();
        TTagError::Set(OutOfSpace(error)
                           ? "not enough space on the disk: the file was not changed"
                           : "cannot write the save journal: the file was not changed");
        return false;
    }
    // The space the file grows into, before any old byte is overwritten.
    if (edit.FinalSize > edit.OldSize) {
        errno = 0;
        if (!file.Reserve(edit.FinalSize)) {
            const int error = errno;
            if (file.Size() > edit.OldSize)
                file.Truncate(edit.OldSize);
            file.Sync();
            journal.Remove();
            TTagError::Set(OutOfSpace(error)
                               ? "not enough space on the disk: the file was not changed"
                               : "cannot reserve space for the save: the file was not changed");
            return false;
        }
    }
    if (Apply(file, *io, head, 0, std::nullopt, false)) {
        journal.Remove(); // a journal left behind finds the file new: harmless
        return true;
    }
    // One more try from the journal, as the next open would do.
    switch (Recover(file, journal, identity)) {
    case TRecovery::Replayed:
        return true;
    case TRecovery::Discarded:
    case TRecovery::None:
        TTagError::Set("write error: the file was not changed");
        return false;
    default:
        TTagError::Set("write error: the save is completed from its journal " + journal.Name() +
                       " when the file is next opened");
        return false;
    }
}

TMpegCommitter::TRecovery TMpegCommitter::Recover(TFileIo& file, TJournal& journal,
                                                  TIdentity identity) {
    std::string refusal;
    TFileIo* io = journal.OpenExisting(refusal);
    if (!io) {
        if (refusal.empty())
            return TRecovery::None;
        TTagError::Set(refusal);
        return TRecovery::Refused;
    }
    const auto head = ReadHead(*io);
    if (!head) {
        // Its head never became durable, and the file is not touched before it does.
        journal.Remove();
        return TRecovery::Discarded;
    }
    if (head->Identity.FileSystem != identity.FileSystem ||
        head->Identity.Inode != identity.Inode) {
        TTagError::Set("the save journal " + journal.Name() +
                       " names another file: it is left alone and saves are refused");
        return TRecovery::Refused;
    }
    TState state = Locate(file, *io, *head);
    if (state.Kind == TState::Unknown) {
        TTagError::Set("the file is not in any state its unfinished save's journal " +
                       journal.Name() +
                       " knows (changed by another program?): both are left as they are and "
                       "saves are refused");
        return TRecovery::Refused;
    }
    if (state.Kind == TState::Old) {
        // Back as it was before the save (restored, or the save never wrote): nothing to do
        // but drop what the save had reserved.
        if (file.Size() > head->Edit.OldSize && !(file.Truncate(head->Edit.OldSize) && file.Sync()))
            return TRecovery::Failed;
        journal.Remove();
        return TRecovery::Discarded;
    }
    if (!journal.Writable()) {
        // Another writer's journal: replayed through a copy of our own, which replaces it.
        const auto bytes = ReadAll(*io);
        io = bytes ? journal.TakeOver(*bytes) : nullptr;
        if (!io) {
            TTagError::Set("another user's unfinished save of this file can only be completed "
                           "by that user or the file's owner (journal " +
                           journal.Name() + ")");
            return TRecovery::Refused;
        }
    }
    if (!Apply(file, *io, *head, state.Step, std::move(state.Bytes), state.FromSlot)) {
        TTagError::Set("an interrupted save of this file cannot be completed (journal " +
                       journal.Name() + " kept)");
        return TRecovery::Failed;
    }
    journal.Remove();
    return TRecovery::Replayed;
}

} // namespace riffkit
