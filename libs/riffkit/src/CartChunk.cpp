#include "CartChunk.h"

#include "ByteOrder.h"
#include "TextCodec.h"

#include <algorithm>

namespace riffkit {

namespace {

constexpr std::size_t LevelReferenceAt = 680;
constexpr std::size_t TimersAt = 684;

std::string_view CutAtNul(std::string_view s) {
    const std::size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// Tag text is CR/LF text: lone line feeds become CR/LF.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

} // namespace

const std::vector<TCartChunk::TFieldSpec>& TCartChunk::Fields() {
    using F = TField;
    static const std::vector<TFieldSpec> fields = {
        {F::Version, "Version", 0, 4},
        {F::Title, "Title", 4, 64},
        {F::Artist, "Artist", 68, 64},
        {F::CutID, "CutID", 132, 64},
        {F::ClientID, "ClientID", 196, 64},
        {F::Category, "Category", 260, 64},
        {F::Classification, "Classification", 324, 64},
        {F::OutCue, "OutCue", 388, 64},
        {F::StartDate, "StartDate", 452, 10},
        {F::StartTime, "StartTime", 462, 8},
        {F::EndDate, "EndDate", 470, 10},
        {F::EndTime, "EndTime", 480, 8},
        {F::ProducerAppID, "ProducerAppID", 488, 64},
        {F::ProducerAppVersion, "ProducerAppVersion", 552, 64},
        {F::UserDef, "UserDef", 616, 64},
        {F::URL, "URL", 1024, 1024},
        {F::TagText, "TagText", FixedSize, 0},
    };
    return fields;
}

const TCartChunk::TFieldSpec& TCartChunk::Spec(TField field) {
    return Fields()[static_cast<std::size_t>(field)];
}

TCartChunk::TCartChunk(std::string body) : Bytes(std::move(body)) {
    if (Bytes.size() < FixedSize)
        Bytes.resize(FixedSize, '\0');
}

TCartChunk TCartChunk::Created(std::string_view producer, std::string_view producerVersion) {
    TCartChunk cart{std::string()};
    cart.SetText(TField::Version, "0101");
    cart.SetText(TField::ProducerAppID, producer);
    cart.SetText(TField::ProducerAppVersion, producerVersion);
    return cart;
}

std::string TCartChunk::Text(TField field) const {
    const TFieldSpec& spec = Spec(field);
    std::string_view raw(Bytes);
    raw = raw.substr(spec.Offset, spec.Size == 0 ? std::string_view::npos : spec.Size);
    return TTextCodec::Decode(CutAtNul(raw), TTextCodec::CpAuto);
}

bool TCartChunk::SetText(TField field, std::string_view utf8) {
    const TFieldSpec& spec = Spec(field);
    if (field == TField::TagText) {
        const std::string text = WithCrLf(utf8);
        if (Text(field) != text)
            Bytes.replace(FixedSize, std::string::npos, text);
        return true;
    }
    const std::size_t n = TTextCodec::CutLength(utf8, spec.Size);
    const std::string_view stored = utf8.substr(0, n);
    if (Text(field) != stored) {
        std::fill_n(Bytes.begin() + static_cast<std::ptrdiff_t>(spec.Offset), spec.Size, '\0');
        Bytes.replace(spec.Offset, n, stored);
    }
    return n == utf8.size();
}

std::int32_t TCartChunk::LevelReference() const {
    return static_cast<std::int32_t>(
        TByteOrder::Get32(reinterpret_cast<const unsigned char*>(Bytes.data() + LevelReferenceAt)));
}

std::optional<TCartChunk::TTimer> TCartChunk::Timer(std::size_t slot) const {
    const char* p = Bytes.data() + TimersAt + 8 * slot;
    if (slot >= TimerSlots || p[0] == '\0')
        return std::nullopt;
    return TTimer{std::string(p, 4),
                  TByteOrder::Get32(reinterpret_cast<const unsigned char*>(p + 4))};
}

std::optional<std::uint32_t> TCartChunk::Find(std::string_view usage) const {
    for (std::size_t i = 0; i < TimerSlots; ++i)
        if (auto t = Timer(i); t && t->Usage == usage)
            return t->Frames;
    return std::nullopt;
}

bool TCartChunk::SetTimers(const std::vector<std::string_view>& owned,
                           const std::vector<TTimer>& timers) {
    std::vector<TTimer> pending = timers;
    std::vector<std::size_t> free;
    for (std::size_t i = 0; i < TimerSlots; ++i) {
        const auto t = Timer(i);
        if (!t) {
            free.push_back(i);
            continue;
        }
        if (std::find(owned.begin(), owned.end(), t->Usage) == owned.end())
            continue;
        const auto same = std::find_if(pending.begin(), pending.end(), [&](const TTimer& w) {
            return w.Usage == t->Usage && w.Frames == t->Frames;
        });
        if (same != pending.end()) {
            pending.erase(same); // already stored as wanted: its bytes stay
            continue;
        }
        std::fill_n(Bytes.begin() + static_cast<std::ptrdiff_t>(TimersAt + 8 * i), 8, '\0');
        free.push_back(i);
    }
    std::sort(free.begin(), free.end());
    std::size_t next = 0;
    for (const auto& t : pending) {
        if (next == free.size())
            return false;
        std::string slot = t.Usage.substr(0, 4);
        slot.resize(4, ' ');
        TByteOrder::Append32(slot, t.Frames);
        Bytes.replace(TimersAt + 8 * free[next++], 8, slot);
    }
    return true;
}

} // namespace riffkit
