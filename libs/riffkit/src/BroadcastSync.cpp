#include "BroadcastSync.h"

#include "ByteOrder.h"
#include "CartChunk.h"
#include "Loudness.h"
#include "TextCodec.h"
#include "WavTags.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#ifndef RIFFKIT_VERSION
#define RIFFKIT_VERSION "0"
#endif

namespace riffkit {

namespace {

using F = TCartChunk::TField;

// The text keys and the cart fields that carry them.
struct TTextLink {
    const char* Key;
    F Field;
};
constexpr TTextLink TextLinks[] = {
    {"DISP", F::Title},  {"IART", F::Artist}, {"ISRC", F::Category},
    {"INAM", F::OutCue}, {"IURL", F::URL},    {"ISBJ", F::TagText},
};
// Date key, time key, cart date, cart time.
struct TDateLink {
    const char* DateKey;
    const char* TimeKey;
    F Date;
    F Time;
};
constexpr TDateLink DateLinks[] = {
    {"IGNR", "BSTM", F::StartDate, F::StartTime},
    {"IKEY", "BETM", F::EndDate, F::EndTime},
};

const std::vector<std::string_view> CommonTimers = {"AUDs", "AUDe", "INTs", "INTe", "SEGs", "SEGe"};
const std::vector<std::string_view> GenesysTimers = {"INT ", "SEC1", "MRK1", "MRK2"};

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool Digits(std::string_view s) {
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view s) {
    int n = 0;
    for (char c : s)
        n = n * 10 + (c - '0');
    return n;
}

bool ValidDate(int y, int m, int d) {
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days[m - 1])
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return !(m == 2 && d == 29 && !leap);
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(sep);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        s.remove_prefix(at + 1);
    }
}

// "yyyy/mm/dd" (or "mm/dd/yyyy"), as the date keys hold it, to "yyyy-mm-dd"; "" when
// the text is no date.
std::string CartDate(std::string_view value) {
    value = Trimmed(value);
    value = value.substr(0, value.find(' ')); // a time after the date is not part of it
    const auto parts = Split(value, '/');
    if (parts.size() != 3 || !Digits(parts[0]) || !Digits(parts[1]) || !Digits(parts[2]))
        return {};
    const bool yearFirst = parts[0].size() == 4;
    const int y = Number(yearFirst ? parts[0] : parts[2]);
    const int m = Number(yearFirst ? parts[1] : parts[0]);
    const int d = Number(yearFirst ? parts[2] : parts[1]);
    if (!ValidDate(y, m, d))
        return {};
    char out[40];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", y, m, d);
    return out;
}

// "hh:nn" or "hh:nn:ss" to "hh:nn:ss"; nullopt when the text is no time of day.
std::optional<std::string> TimeOfDay(std::string_view value) {
    const auto parts = Split(Trimmed(value), ':');
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int hms[3] = {0, 0, 0};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!Digits(parts[i]) || parts[i].size() > 2)
            return std::nullopt;
        hms[i] = Number(parts[i]);
    }
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59)
        return std::nullopt;
    char out[40];
    std::snprintf(out, sizeof out, "%02d:%02d:%02d", hms[0], hms[1], hms[2]);
    return out;
}

// A cart date as the date keys store it; "" for no date, including the placeholders other
// systems write for "unset".
std::string InfoDate(std::string_view cartDate) {
    const std::string_view s = Trimmed(cartDate);
    if (s.size() != 10 || s == "1900-01-01" || s == "9999-12-31" || (s[4] != '-' && s[4] != '/') ||
        s[7] != s[4])
        return {};
    const auto y = s.substr(0, 4), m = s.substr(5, 2), d = s.substr(8, 2);
    if (!Digits(y) || !Digits(m) || !Digits(d) || !ValidDate(Number(y), Number(m), Number(d)))
        return {};
    return std::string(y) + "/" + std::string(m) + "/" + std::string(d);
}

std::uint32_t ToFrames(std::uint64_t ms, std::uint32_t rate) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>((ms * rate + 500) / 1000, 0xFFFFFFFFu));
}

std::string ToMs(std::uint64_t frames, std::uint32_t rate) {
    return std::to_string((frames * 1000 + rate / 2) / rate);
}

std::optional<std::uint32_t> FirstTimer(const TCartChunk& cart,
                                        std::initializer_list<std::string_view> names) {
    for (auto name : names)
        if (auto frames = cart.Find(name))
            return frames;
    return std::nullopt;
}

std::string MarkerReadBack(std::string_view key, const TCartChunk& cart,
                           const TAudioExtent& extent) {
    const std::uint32_t rate = extent.SampleRate;
    if (rate == 0)
        return {};
    if (key == "ISRF") {
        const auto f = FirstTimer(cart, {"INTe", "INT ", "INT1"});
        return f && *f > 0 ? ToMs(*f, rate) : std::string();
    }
    if (key == "IMED") {
        const auto f = FirstTimer(cart, {"SEGs", "SEC1", "EOD "});
        if (!f || extent.TotalFrames == 0 || *f >= extent.TotalFrames)
            return {};
        return ToMs(extent.TotalFrames - *f, rate);
    }
    if (key == "HKST") {
        const auto f = cart.Find("MRK1");
        return f ? ToMs(*f, rate) : std::string();
    }
    if (key == "HKEN") {
        const auto f = cart.Find("MRK2");
        return f && *f > 0 ? ToMs(*f, rate) : std::string();
    }
    return {};
}

// The post timers for the marker values, by profile.
// A stored timer that reads as the same millisecond keeps its frame count, so a save of
// other values never moves another system's marker by a rounding.
std::vector<TCartChunk::TTimer> Timers(const TBroadcastSync::TValues& values,
                                       const TBroadcastOptions& options, const TAudioExtent& extent,
                                       const TCartChunk& stored) {
    const std::uint32_t rate = extent.SampleRate;
    const std::uint64_t total64 = std::min<std::uint64_t>(extent.TotalFrames, 0xFFFFFFFFu);
    const auto total = static_cast<std::uint32_t>(total64);
    const bool common = options.Profile == TBroadcastOptions::TTimerProfile::Common;
    // fromEnd: the timer counts the key's time back from the end.
    const auto point = [&](const char* key, std::string_view usage,
                           bool fromEnd) -> std::optional<std::uint32_t> {
        const std::string v = values(key);
        if (!Digits(v))
            return std::nullopt;
        if (const auto kept = stored.Find(usage)) {
            const std::uint64_t f = fromEnd ? total - std::min(*kept, total) : *kept;
            if (ToMs(f, rate) == v)
                return static_cast<std::uint32_t>(f);
        }
        return ToFrames(std::stoull(v), rate);
    };
    const auto intro = point("ISRF", common ? "INTe" : "INT ", false);
    const auto segue = point("IMED", common ? "SEGs" : "SEC1", true);
    const auto hookStart = point("HKST", "MRK1", false);
    const auto hookEnd = point("HKEN", "MRK2", false);
    const std::uint32_t segueStart = segue ? total - std::min(*segue, total) : 0;
    std::vector<TCartChunk::TTimer> timers;
    if (common) {
        if (total > 0)
            timers.insert(timers.end(), {{"AUDs", 0}, {"AUDe", total}});
        if (intro && *intro > 0)
            timers.insert(timers.end(), {{"INTs", 0}, {"INTe", *intro}});
        if (segue && *segue > 0 && total > 0)
            timers.insert(timers.end(), {{"SEGs", segueStart}, {"SEGe", total}});
    } else {
        if (intro && *intro > 0)
            timers.push_back({"INT ", *intro});
        if (segue && *segue > 0 && total > 0)
            timers.push_back({"SEC1", segueStart});
        if (hookStart && hookEnd && *hookEnd > 0)
            timers.insert(timers.end(), {{"MRK1", *hookStart}, {"MRK2", *hookEnd}});
    }
    return timers;
}

std::string BextText(std::string_view body, std::size_t offset, std::size_t size) {
    if (offset >= body.size())
        return {};
    std::string_view raw = body.substr(offset, size);
    raw = raw.substr(0, raw.find('\0'));
    return TTextCodec::Decode(raw, TTextCodec::CpAuto);
}

std::uint32_t BextGet32(std::string_view body, std::size_t offset) {
    return TByteOrder::Get32(reinterpret_cast<const unsigned char*>(body.data() + offset));
}

void AddBextFields(std::string_view body, std::vector<std::pair<std::string, std::string>>& out) {
    const auto text = [&](const char* name, std::size_t offset, std::size_t size) {
        std::string v = BextText(body, offset, size);
        if (!v.empty())
            out.emplace_back(std::string("bext.") + name, std::move(v));
    };
    text("Description", 0, 256);
    text("Originator", 256, 32);
    text("OriginatorReference", 288, 32);
    text("OriginationDate", 320, 10);
    text("OriginationTime", 330, 8);
    if (body.size() < 348)
        return;
    const std::uint64_t timeReference =
        std::uint64_t(BextGet32(body, 338)) | std::uint64_t(BextGet32(body, 342)) << 32;
    if (timeReference != 0)
        out.emplace_back("bext.TimeReference", std::to_string(timeReference));
    const unsigned version =
        static_cast<unsigned char>(body[346]) | static_cast<unsigned char>(body[347]) << 8;
    out.emplace_back("bext.Version", std::to_string(version));
    if (body.size() >= 412) {
        const std::string_view umid = body.substr(348, 64);
        if (umid.find_first_not_of('\0') != std::string_view::npos) {
            std::string hex;
            char b[3];
            for (unsigned char c : umid) {
                std::snprintf(b, sizeof b, "%02X", c);
                hex += b;
            }
            out.emplace_back("bext.UMID", hex);
        }
    }
    if (const auto loudness = TBextLoudness::Read(body)) {
        const std::pair<const char*, std::optional<std::int16_t>> figures[] = {
            {"LoudnessValue", loudness->Integrated},
            {"LoudnessRange", loudness->Range},
            {"MaxTruePeakLevel", loudness->TruePeak},
            {"MaxMomentaryLoudness", loudness->MaxMomentary},
            {"MaxShortTermLoudness", loudness->MaxShortTerm}};
        for (const auto& [name, value] : figures)
            if (value)
                out.emplace_back(std::string("bext.") + name, TBextLoudness::Text(*value));
    }
    text("CodingHistory", 602, std::string_view::npos);
}

} // namespace

TAudioExtent TAudioExtent::Read(TFileIo& io, const TRiffLayout& layout) {
    TAudioExtent extent;
    unsigned char fmt[16] = {};
    std::uint32_t formatTag = 0, blockAlign = 0;
    bool haveFmt = false;
    std::optional<std::uint32_t> factFrames;
    for (const auto& c : layout.Chunks) {
        if (!haveFmt && c.Is("fmt ") && c.Size >= 16 && !c.Truncated &&
            io.Read(c.PayloadOffset(), fmt, 16)) {
            haveFmt = true;
            formatTag = fmt[0] | fmt[1] << 8;
            extent.SampleRate = TByteOrder::Get32(fmt + 4);
            blockAlign = fmt[12] | fmt[13] << 8;
        } else if (!factFrames && c.Is("fact") && c.Size >= 4 && !c.Truncated) {
            unsigned char n[4];
            if (io.Read(c.PayloadOffset(), n, 4))
                factFrames = TByteOrder::Get32(n);
        }
    }
    if (!haveFmt || layout.DataIndex < 0)
        return extent;
    const std::uint64_t dataSize = layout.Chunks[static_cast<std::size_t>(layout.DataIndex)].Size;
    // PCM, IEEE float and the extensible form count frames by the block align; everything
    // else (MPEG inside WAV) names its length in the fact chunk.
    const bool pcmLike = formatTag == 1 || formatTag == 3 || formatTag == 0xFFFE;
    if (pcmLike && blockAlign > 0)
        extent.TotalFrames = dataSize / blockAlign;
    else if (!pcmLike && factFrames)
        extent.TotalFrames = *factFrames;
    return extent;
}

TBroadcastSync::TCart TBroadcastSync::InStep(const std::optional<std::string>& stored,
                                             const TValues& values,
                                             const TBroadcastOptions& options,
                                             const TAudioExtent& extent) {
    using TMode = TBroadcastOptions::TCartMode;
    if (options.Mode == TMode::Never || (!stored && options.Mode == TMode::Keep))
        return {stored, {}};
    TCartChunk cart =
        stored ? TCartChunk(*stored) : TCartChunk::Created("Cuemark", RIFFKIT_VERSION);
    TCart result;
    const auto set = [&](F field, std::string_view text) {
        if (!cart.SetText(field, text))
            result.Shortened.emplace_back(TCartChunk::Spec(field).Name);
    };
    for (const auto& link : TextLinks) {
        const std::string v = values(link.Key);
        // The keys stored as one blank when empty stand for no text.
        set(link.Field, Trimmed(v).empty() ? std::string_view() : std::string_view(v));
    }
    for (const auto& link : DateLinks) {
        // A field that already means the same is left as stored: another system's form of
        // "no date" stays, and so does its time beside it.
        const std::string date = CartDate(values(link.DateKey));
        const std::string oldDate = cart.Text(link.Date);
        if (InfoDate(oldDate) != InfoDate(date))
            set(link.Date, date);
        const std::string time = TimeOfDay(values(link.TimeKey)).value_or("");
        const std::string oldTime = TimeOfDay(cart.Text(link.Time)).value_or("");
        const bool unsetPair = time.empty() && date.empty() && InfoDate(oldDate).empty();
        if (time != oldTime && !unsetPair)
            set(link.Time, time);
    }
    if (extent.SampleRate > 0) {
        const bool common = options.Profile == TBroadcastOptions::TTimerProfile::Common;
        const TCartChunk before = cart;
        if (!cart.SetTimers(common ? CommonTimers : GenesysTimers,
                            Timers(values, options, extent, before)))
            result.Shortened.emplace_back("PostTimers");
    }
    result.Body = cart.Body();
    return result;
}

std::string TBroadcastSync::ReadBack(std::string_view key, const std::optional<std::string>& cart,
                                     const std::optional<std::string>& bext,
                                     const TAudioExtent& extent) {
    if (cart) {
        const TCartChunk c(*cart);
        for (const auto& link : TextLinks) {
            if (key == link.Key) {
                std::string v = c.Text(link.Field);
                if (v.empty() && key == "DISP" && bext)
                    return BextText(*bext, 0, 256);
                return v;
            }
        }
        for (const auto& link : DateLinks) {
            const std::string date = InfoDate(c.Text(link.Date));
            if (key == link.DateKey)
                return date;
            if (key == link.TimeKey) {
                // A time counts only with its date: "unset" dates come with a time too.
                const auto time = TimeOfDay(c.Text(link.Time));
                return !date.empty() && time ? time->substr(0, 5) : std::string();
            }
        }
        return MarkerReadBack(key, c, extent);
    }
    if (bext && key == "DISP")
        return BextText(*bext, 0, 256);
    return {};
}

std::vector<std::pair<std::string, std::string>>
TBroadcastSync::Fields(const std::optional<std::string>& cart,
                       const std::optional<std::string>& bext, const TAudioExtent& extent) {
    std::vector<std::pair<std::string, std::string>> out;
    if (cart) {
        const TCartChunk c(*cart);
        for (const auto& spec : TCartChunk::Fields()) {
            if (spec.Field == F::URL) {
                // The numbers sit between the user field and the URL.
                if (c.LevelReference() != 0)
                    out.emplace_back("cart.LevelReference", std::to_string(c.LevelReference()));
                for (std::size_t i = 0; i < TCartChunk::TimerSlots; ++i)
                    if (const auto t = c.Timer(i))
                        out.emplace_back(
                            "cart.PostTimer" + std::to_string(i + 1),
                            t->Usage + " " + std::to_string(t->Frames) +
                                (extent.SampleRate > 0
                                     ? " (" + ToMs(t->Frames, extent.SampleRate) + " ms)"
                                     : std::string()));
            }
            std::string v = c.Text(spec.Field);
            if (!v.empty())
                out.emplace_back(std::string("cart.") + spec.Name, std::move(v));
        }
    }
    if (bext)
        AddBextFields(*bext, out);
    return out;
}

bool TBroadcastSync::IsMappedKey(std::string_view key) {
    // Asked for every empty key a reader gets: the keys as four-byte codes, made once.
    static const std::vector<std::uint32_t> mapped = [] {
        const auto code = [](const char* key) { return KeyCode(std::string_view(key, 4)); };
        std::vector<std::uint32_t> keys;
        for (const auto& link : TextLinks)
            keys.push_back(code(link.Key));
        for (const auto& link : DateLinks) {
            keys.push_back(code(link.DateKey));
            keys.push_back(code(link.TimeKey));
        }
        for (const char* other : {"ISRF", "IMED", "HKST", "HKEN"})
            keys.push_back(code(other));
        return keys;
    }();
    if (key.size() != 4)
        return false;
    return std::find(mapped.begin(), mapped.end(), KeyCode(key)) != mapped.end();
}

} // namespace riffkit
