// The C operations: one current file, its format told from its content, and the reason for
// the last failed open or close.
#include "riffkit.h"

#include "MpegTagStore.h"
#include "PosixFileIo.h"
#include "TagError.h"
#include "TextCodec.h"
#include "WavTagStore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using riffkit::TTagError;
using riffkit::TTagStore;
using riffkit::TTextCodec;

namespace {

std::unique_ptr<TTagStore> Current;
bool LastHadId3v2 = false;
riffkit::TBroadcastOptions BroadcastOptions;
std::string LastShortened;

bool StartsAsWav(riffkit::TFileIo& file) {
    char head[12];
    return file.Read(0, head, 12) && std::memcmp(head + 8, "WAVE", 4) == 0 &&
           (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0 ||
            std::memcmp(head, "BW64", 4) == 0);
}

// Four printable ASCII characters.
bool ValidKey(const char* key) {
    if (!key || ::strnlen(key, 5) != 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (static_cast<unsigned char>(key[i]) < 0x20 || static_cast<unsigned char>(key[i]) > 0x7E)
            return false;
    return true;
}

int16_t Fill(const std::string& text, char* buffer, int32_t size) {
    if (!buffer || size <= 0)
        return -1;
    const std::size_t n = TTextCodec::CutLength(text, static_cast<std::size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return 0;
}

// Copies text as GetTagLastError does; the full length.
int32_t Copy(const std::string& text, char* buffer, int32_t size) {
    if (buffer && size > 0) {
        const std::size_t n = TTextCodec::CutLength(text, static_cast<std::size_t>(size) - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int32_t>(text.size());
}

std::string Lines(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : "\n") + item;
    return out;
}

std::string Taken(const char* text, uint16_t length) {
    if (!text)
        return std::string();
    return TTextCodec::FromCaller(std::string_view(text, ::strnlen(text, length)));
}

// A file the caller has open for reading, with the bytes of its start it already read.
struct TBorrowed {
    int Fd = -1;
    std::uint64_t Size = 0;
    const void* Head = nullptr;
    int32_t HeadSize = 0;
};

// Makes path the current file, read on a descriptor of its own or on the caller's.
int16_t OpenCurrent(const char* path, const TBorrowed* borrowed) {
    if (Current)
        CloseWavFile();
    TTagError::Clear();
    LastShortened.clear();
    if (!path || !*path) {
        TTagError::Set("no file name");
        return 1;
    }
    if (borrowed != nullptr && (borrowed->Fd < 0 || borrowed->HeadSize < 0)) {
        TTagError::Set("no open file");
        return 1;
    }
    try {
        // One open per file: the format is told and the tags are read on this descriptor.
        riffkit::TPosixFileIo file;
        if (borrowed != nullptr)
            file.Borrow(borrowed->Fd, borrowed->Size, borrowed->Head,
                        static_cast<std::size_t>(borrowed->HeadSize));
        if (borrowed == nullptr && !file.Open(path, false)) {
            const int error = file.OpenError();
            TTagError::Set(error == ENOENT                              ? "file not found"
                           : error == riffkit::TPosixFileIo::NotRegular ? "not a regular file"
                                                                        : std::strerror(error));
        } else if (StartsAsWav(file)) {
            Current = riffkit::TWavTagStore::Open(path, file);
        } else if (riffkit::LooksLikeMpeg(file)) {
            Current = riffkit::OpenMpegTagStore(path, file);
        } else {
            TTagError::Set("not a WAV or MPEG audio file");
        }
    } catch (const std::exception& e) {
        Current.reset();
        TTagError::Set(std::string("cannot read the file: ") + e.what());
    } catch (...) {
        Current.reset();
    }
    if (!Current)
        TTagError::Set("cannot read the file");
    LastHadId3v2 = Current && Current->HasId3v2();
    if (Current)
        Current->SetBroadcastOptions(BroadcastOptions);
    return Current ? 0 : 1;
}

} // namespace

extern "C" {

int16_t OpenWavFile(const char* path, int32_t, int32_t) {
    return OpenCurrent(path, nullptr);
}

int16_t OpenWavFileOnDescriptor(const char* path, int32_t fd, uint64_t size, const void* head,
                                int32_t headSize) {
    const TBorrowed borrowed{fd, size, head, headSize};
    return OpenCurrent(path, &borrowed);
}

int16_t CloseWavFile(void) {
    TTagError::Clear();
    if (!Current)
        return 0;
    bool ok = false;
    try {
        ok = Current->Commit();
    } catch (const std::exception& e) {
        ok = false;
        TTagError::Set(std::string("cannot write the tags: ") + e.what());
    } catch (...) {
        ok = false;
    }
    if (!ok)
        TTagError::Set("the tags could not be written");
    LastShortened = ok ? Lines(Current->ShortenedFields()) : std::string();
    Current.reset();
    return ok ? 0 : 1;
}

int16_t GetTagInfo(const char* key, char* buffer, int32_t size) {
    if (!Current || !ValidKey(key))
        return Fill(std::string(), buffer, size), -1;
    return Fill(Current->GetTag(std::string_view(key, 4)), buffer, size);
}

int16_t GetChunkInfo(const char* chunkId, char* buffer, int32_t size) {
    if (!Current || !ValidKey(chunkId))
        return Fill(std::string(), buffer, size), -1;
    return Fill(Current->GetChunk(std::string_view(chunkId, 4)), buffer, size);
}

int16_t SetTagInfo(const char* key, const char* text, uint16_t length) {
    if (!Current || !ValidKey(key) || (!text && length > 0))
        return -1;
    try {
        Current->SetTag(std::string_view(key, 4), Taken(text, length));
    } catch (...) {
        return -1;
    }
    return 0;
}

int16_t SetChunkInfo(const char* chunkId, const char* text, uint16_t length) {
    if (!Current || !ValidKey(chunkId) || (!text && length > 0))
        return -1;
    try {
        Current->SetChunk(std::string_view(chunkId, 4), Taken(text, length));
    } catch (...) {
        return -1;
    }
    return 0;
}

int16_t RemoveTag(const char* key) {
    if (!Current || !ValidKey(key))
        return -1;
    Current->RemoveTag(std::string_view(key, 4));
    return 0;
}

int16_t HasId3v2(void) {
    if (Current)
        return Current->HasId3v2() ? 1 : 0;
    return LastHadId3v2 ? 1 : 0;
}

int16_t AddId3v2(const char* path) {
    if (!path || !*path)
        return -1;
    try {
        return riffkit::AddId3v2Tag(path) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int32_t GetTagLastError(char* buffer, int32_t size) {
    return Copy(TTagError::Text(), buffer, size);
}

int16_t SetBroadcastOptions(int32_t mode, int32_t profile) {
    if (mode < 0 || mode > 2 || profile < 0 || profile > 1)
        return -1;
    using TOptions = riffkit::TBroadcastOptions;
    BroadcastOptions.Mode = static_cast<TOptions::TCartMode>(mode);
    BroadcastOptions.Profile = static_cast<TOptions::TTimerProfile>(profile);
    if (Current)
        Current->SetBroadcastOptions(BroadcastOptions);
    return 0;
}

int32_t GetBroadcastFields(char* buffer, int32_t size) {
    std::vector<std::string> names;
    if (Current)
        for (const auto& field : Current->BroadcastFields())
            names.push_back(field.first);
    return Copy(Lines(names), buffer, size);
}

int32_t GetBroadcastInfo(const char* field, char* buffer, int32_t size) {
    if (Current && field)
        for (const auto& f : Current->BroadcastFields())
            if (f.first == field)
                return Copy(f.second, buffer, size);
    Copy(std::string(), buffer, size);
    return -1;
}

int32_t GetShortenedFields(char* buffer, int32_t size) {
    return Copy(LastShortened, buffer, size);
}

int16_t SetLoudness(int32_t integratedX100, int32_t rangeX100, int32_t truePeakX100,
                    int32_t maxMomentaryX100, int32_t maxShortTermX100) {
    TTagError::Clear();
    if (!Current)
        return -1;
    riffkit::TLoudness loudness;
    const std::pair<int32_t, std::optional<int16_t>*> figures[] = {
        {integratedX100, &loudness.Integrated},
        {rangeX100, &loudness.Range},
        {truePeakX100, &loudness.TruePeak},
        {maxMomentaryX100, &loudness.MaxMomentary},
        {maxShortTermX100, &loudness.MaxShortTerm}};
    for (const auto& [value, figure] : figures) {
        if (value == RIFFKIT_NOT_MEASURED)
            continue;
        // 0x7FFF is the bext's "not measured" and cannot be a figure.
        if (value < -32767 || value > 32766)
            return -1;
        *figure = static_cast<int16_t>(value);
    }
    if (loudness.Empty())
        return -1;
    try {
        return Current->SetLoudness(loudness) ? 0 : 1;
    } catch (...) {
        return -1;
    }
}

int16_t GetLoudness(int32_t* integratedX100, int32_t* rangeX100, int32_t* truePeakX100,
                    int32_t* maxMomentaryX100, int32_t* maxShortTermX100) {
    std::optional<riffkit::TLoudness> loudness;
    try {
        if (Current)
            loudness = Current->Loudness();
    } catch (...) {
    }
    const auto give = [](int32_t* out, const std::optional<int16_t>& figure) {
        if (out)
            *out = figure ? *figure : RIFFKIT_NOT_MEASURED;
    };
    const riffkit::TLoudness held = loudness.value_or(riffkit::TLoudness());
    give(integratedX100, held.Integrated);
    give(rangeX100, held.Range);
    give(truePeakX100, held.TruePeak);
    give(maxMomentaryX100, held.MaxMomentary);
    give(maxShortTermX100, held.MaxShortTerm);
    if (!Current)
        return -1;
    return loudness ? 0 : 1;
}

} // extern "C"
