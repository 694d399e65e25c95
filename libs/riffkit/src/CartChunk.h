#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace riffkit {

// The body of an AES46 "cart" chunk (version "0101"): fixed text fields, the level reference,
// eight post timers, the URL and the free tag text that runs to the end of the chunk. Edits
// change only the bytes of the fields they name, so everything else stays as stored.
class TCartChunk {
public:
    static constexpr std::size_t FixedSize = 2048;
    static constexpr std::size_t TimerSlots = 8;

    enum class TField {
        Version,
        Title,
        Artist,
        CutID,
        ClientID,
        Category,
        Classification,
        OutCue,
        StartDate,
        StartTime,
        EndDate,
        EndTime,
        ProducerAppID,
        ProducerAppVersion,
        UserDef,
        URL,
        TagText,
    };
    struct TFieldSpec {
        TField Field;
        const char* Name;
        std::size_t Offset;
        std::size_t Size; // 0: to the end of the chunk
    };
    static const std::vector<TFieldSpec>& Fields();
    static const TFieldSpec& Spec(TField field);

    struct TTimer {
        std::string Usage; // four characters
        std::uint32_t Frames = 0;
    };

    // A body shorter than the fixed part reads as if padded with NULs.
    explicit TCartChunk(std::string body);
    // A new chunk: version "0101", the producer named, every other field empty.
    static TCartChunk Created(std::string_view producer, std::string_view producerVersion);

    // The field's text as UTF-8 (up to its first NUL; Windows-1252 unless valid UTF-8).
    std::string Text(TField field) const;
    // Stores the text, cut on a character boundary to the field; the field's bytes are left
    // alone when it already reads as the text. False when the text had to be shortened.
    bool SetText(TField field, std::string_view utf8);

    std::int32_t LevelReference() const;
    // Slot by slot; nullopt for an empty slot (usage byte 0).
    std::optional<TTimer> Timer(std::size_t slot) const;
    // The first timer with the usage.
    std::optional<std::uint32_t> Find(std::string_view usage) const;
    // Empties the slots whose usage is in `owned` and fills free slots with `timers`; slots
    // already holding exactly a wanted timer keep it. False when not all of them fit.
    bool SetTimers(const std::vector<std::string_view>& owned, const std::vector<TTimer>& timers);

    // The body to store (at least the fixed part).
    const std::string& Body() const { return Bytes; }

private:
    std::string Bytes;
};

} // namespace riffkit
