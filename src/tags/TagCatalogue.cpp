#include "TagCatalogue.h"

#include "TextForms.h"

#include <array>

namespace {

using P = TTagPage;
using K = TFieldKind;
using F = TValueForm;
using E = TEmptyRule;
using C = TComboSource;

// Field order: key, meaning, caption, page, kind, limit, column, form, empty rule,
// chunk, capitals, multi-line, ID3v1 field, combo source.
constexpr std::array<TTagKeyInfo, TTagCatalogue::KeyCount> KeyTable{{
    {"DISP", "title or description", "Title / Description", P::Description, K::Edit, 64, 4, F::Text,
     E::OneBlank, true, false, false, true, C::None},
    {"IART", "artist or advertiser", "Artist / Advertiser", P::Description, K::Edit, 64, 3, F::Text,
     E::Remove, false, false, false, true, C::None},
    {"ISRC", "category", "Category", P::Description, K::Combo, 16, 5, F::Text, E::Remove, false,
     true, false, false, C::Categories},
    {"BFAD", "no fade at the segue", "No fade at segue", P::Description, K::CheckBox, 0, 0, F::Flag,
     E::AlwaysWrite, false, false, false, false, C::None},
    {"ISRF", "intro point", "&Intro", P::Description, K::Marker, 0, 6, F::MarkerFromStart,
     E::Remove, false, false, false, false, C::None},
    {"IMED", "segue point", "&Segue", P::Description, K::Marker, 0, 7, F::MarkerBeforeEnd,
     E::Remove, false, false, false, false, C::None},
    {"HKST", "hook start", "Hook &Start", P::Description, K::Marker, 0, 8, F::MarkerFromStart,
     E::Remove, false, false, false, false, C::None},
    {"HKEN", "hook end", "Hook &End", P::Description, K::Marker, 0, 9, F::MarkerFromStart,
     E::Remove, false, false, false, false, C::None},
    {"IGNR", "start date", "Start Date && Time (24 hr.)", P::Times, K::DateField, 10, 10, F::Date,
     E::OneBlank, false, false, false, false, C::None},
    {"BSTM", "start time", "Start Date && Time (24 hr.)", P::Times, K::TimeField, 5, 10, F::Time,
     E::Remove, false, false, false, false, C::None},
    {"IKEY", "end date", "End Date && Time (24 hr.)", P::Times, K::DateField, 10, 11, F::Date,
     E::OneBlank, false, false, false, false, C::None},
    {"BETM", "end time", "End Date && Time (24 hr.)", P::Times, K::TimeField, 5, 11, F::Time,
     E::Remove, false, false, false, false, C::None},
    {"BSTW", "start of the daily time window", "Time Window (24 hr.)", P::Times, K::TimeField, 5,
     12, F::Time, E::Remove, false, false, false, false, C::None},
    {"BETW", "end of the daily time window", "To", P::Times, K::TimeField, 5, 13, F::Time,
     E::Remove, false, false, false, false, C::None},
    {"IALB", "album", "Album", P::Times, K::Edit, 64, 14, F::Text, E::Remove, false, false, false,
     true, C::None},
    {"IYER", "year", "Year", P::Times, K::Edit, 32, 15, F::Text, E::Remove, false, false, false,
     true, C::None},
    {"IGRE", "genre", "Genre", P::Times, K::Combo, 0, 16, F::Text, E::Remove, false, false, false,
     true, C::Genres},
    {"ITRK", "track number", "Track #", P::Times, K::Edit, 32, 17, F::Text, E::Remove, false, false,
     false, true, C::None},
    {"IENG", "producer", "Producer", P::Authoring, K::Edit, 0, 18, F::Text, E::Remove, false, false,
     false, false, C::None},
    {"ITCH", "talent", "Talent", P::Authoring, K::Memo, 512, 19, F::Text, E::Remove, false, false,
     true, false, C::None},
    {"ICOM", "composer", "Composer", P::Authoring, K::Edit, 64, 20, F::Text, E::Remove, false,
     false, false, false, C::None},
    {"IPUB", "publisher", "Publisher", P::Authoring, K::Edit, 64, 21, F::Text, E::Remove, false,
     false, false, false, C::None},
    {"BCPR", "copyright or record company", "Copyright / Record Company", P::Authoring, K::Edit, 64,
     22, F::Text, E::Remove, false, false, false, false, C::None},
    {"ICMT", "comments", "Comments", P::Authoring, K::Memo, 512, 23, F::Text, E::Remove, false,
     false, true, true, C::None},
    {"INAM", "out-cue (closing words)", "OutCue", P::Commercial, K::Edit, 64, 24, F::Text,
     E::Remove, false, false, false, false, C::None},
    {"ICOP", "agency", "Agency", P::Commercial, K::Edit, 64, 25, F::Text, E::Remove, false, false,
     false, false, C::None},
    {"ISFT", "account executive", "Account Executive / Sales Person", P::Commercial, K::Edit, 64,
     26, F::Text, E::Remove, false, false, false, false, C::None},
    {"ISBJ", "commercial copy", "Copy", P::Commercial, K::Memo, 1024, 27, F::Text, E::Remove, false,
     false, true, false, C::None},
    {"IURL", "web address", "URL", P::Commercial, K::Edit, 64, 28, F::Text, E::Remove, false, false,
     false, false, C::None},
    {"BKEY", "musical key", "Key", P::Music, K::Combo, 0, 29, F::Text, E::Remove, false, false,
     false, false, C::Fixed},
    {"BEND", "how the music ends", "End", P::Music, K::Combo, 0, 30, F::Text, E::Remove, false,
     false, false, false, C::Fixed},
    {"BERG", "energy", "Energy", P::Music, K::Edit, 0, 31, F::Text, E::Remove, false, false, false,
     false, C::None},
    {"BTXR", "texture", "Texture", P::Music, K::Combo, 0, 32, F::Text, E::Remove, false, false,
     false, false, C::Fixed},
    {"BTPO", "tempo", "Tempo", P::Music, K::Combo, 0, 33, F::Text, E::Remove, false, false, false,
     false, C::Fixed},
    {"IBPM", "beats per minute", "Beats per minute", P::Music, K::Edit, 32, 34, F::Text, E::Remove,
     false, false, false, false, C::None},
}};

constexpr std::array<TColumnInfo, TTagCatalogue::ColumnCount> ColumnTable{{
    {1, "Format", nullptr, nullptr},
    {2, "Time", nullptr, nullptr},
    {3, "Artist", "IART", nullptr},
    {4, "Title", "DISP", nullptr},
    {5, "Category", "ISRC", nullptr},
    {6, "Intro", "ISRF", nullptr},
    {7, "Segue", "IMED", nullptr},
    {8, "Hook Start", "HKST", nullptr},
    {9, "Hook End", "HKEN", nullptr},
    {10, "Start Date/Time", "IGNR", "BSTM"},
    {11, "End Date/Time", "IKEY", "BETM"},
    {12, "Start Time Window", "BSTW", nullptr},
    {13, "End Time Window", "BETW", nullptr},
    {14, "Album", "IALB", nullptr},
    {15, "Year", "IYER", nullptr},
    {16, "Genre", "IGRE", nullptr},
    {17, "Track", "ITRK", nullptr},
    {18, "Producer", "IENG", nullptr},
    {19, "Talent", "ITCH", nullptr},
    {20, "Composer", "ICOM", nullptr},
    {21, "Publisher", "IPUB", nullptr},
    {22, "Copyright", "BCPR", nullptr},
    {23, "Comments", "ICMT", nullptr},
    {24, "OutCue", "INAM", nullptr},
    {25, "Agency", "ICOP", nullptr},
    {26, "Account Exec", "ISFT", nullptr},
    {27, "Copy", "ISBJ", nullptr},
    {28, "URL", "IURL", nullptr},
    {29, "Key", "BKEY", nullptr},
    {30, "End", "BEND", nullptr},
    {31, "Energy", "BERG", nullptr},
    {32, "Texture", "BTXR", nullptr},
    {33, "Tempo", "BTPO", nullptr},
    {34, "Beats per minute", "IBPM", nullptr},
}};

constexpr std::array<const char*, 12> KeyEntries{"C", "D-Flat", "D", "E-Flat", "E", "F", "F-Sharp",
                                                 "G", "A-Flat", "A", "B-Flat", "B"};
constexpr std::array<const char*, 4> EndEntries{"Cold", "Fade", "Long Fade", "Natural"};
constexpr std::array<const char*, 4> TextureEntries{"Unfamiliar", "Active", "Core", "Mainstream"};
constexpr std::array<const char*, 6> TempoEntries{"Slow",        "Medium Slow", "Medium",
                                                  "Medium Fast", "Fast",        "Ska"};

bool IsKey(const TTagKeyInfo& info, std::string_view key) {
    return key == info.Key;
}

} // namespace

std::span<const TTagKeyInfo> TTagCatalogue::Keys() {
    return KeyTable;
}

const TTagKeyInfo* TTagCatalogue::FindKey(std::string_view key) {
    for (const TTagKeyInfo& info : KeyTable) {
        if (IsKey(info, key))
            return &info;
    }
    return nullptr;
}

const TTagKeyInfo* TTagCatalogue::FindKey(const QString& key) {
    if (key.size() != 4)
        return nullptr;
    const QByteArray latin = key.toLatin1();
    return FindKey(std::string_view(latin.constData(), static_cast<size_t>(latin.size())));
}

std::span<const TColumnInfo> TTagCatalogue::Columns() {
    return ColumnTable;
}

const TColumnInfo* TTagCatalogue::FindColumn(int number) {
    if (number < 1 || number > ColumnCount)
        return nullptr;
    return &ColumnTable[static_cast<size_t>(number - 1)];
}

const TTagKeyInfo* TTagCatalogue::KeyOfColumn(int number) {
    // Asked for every column of every row a pass reads: looked up once.
    static const std::array<const TTagKeyInfo*, ColumnCount + 1> keys = [] {
        std::array<const TTagKeyInfo*, ColumnCount + 1> table{};
        for (int n = 1; n <= ColumnCount; ++n) {
            const TColumnInfo& column = ColumnTable[static_cast<size_t>(n - 1)];
            table[static_cast<size_t>(n)] = column.Key != nullptr ? FindKey(column.Key) : nullptr;
        }
        return table;
    }();
    return number >= 1 && number <= ColumnCount ? keys[static_cast<size_t>(number)] : nullptr;
}

QString TTagCatalogue::PageCaption(TTagPage page) {
    switch (page) {
    case TTagPage::Description:
        return QStringLiteral("&Description / Tones");
    case TTagPage::Times:
        return QStringLiteral("&Times / Album");
    case TTagPage::Authoring:
        return QStringLiteral("&Authoring");
    case TTagPage::Commercial:
        return QStringLiteral("&Commercial");
    case TTagPage::Music:
        return QStringLiteral("Music");
    }
    return {};
}

std::span<const char* const> TTagCatalogue::ComboEntries(std::string_view key) {
    if (key == "BKEY")
        return KeyEntries;
    if (key == "BEND")
        return EndEntries;
    if (key == "BTXR")
        return TextureEntries;
    if (key == "BTPO")
        return TempoEntries;
    return {};
}

QString TTagCatalogue::FlagStoredText(bool ticked) {
    return ticked ? QStringLiteral("-1") : QStringLiteral("0");
}

bool TTagCatalogue::FlagFromStored(const QString& stored) {
    return !stored.isEmpty() && stored != QLatin1String("0");
}

std::optional<uint32_t> TTagCatalogue::MarkerFromStored(const TTagKeyInfo& key,
                                                        const QString& stored) {
    if (key.Kind != TFieldKind::Marker || !IsDigitsOnly(stored))
        return std::nullopt;
    // All digits, but possibly more than a time span holds: such a value is as unusable
    // as a non-numeric one.
    bool ok = false;
    const qulonglong value = stored.toULongLong(&ok);
    if (!ok || value > UINT32_MAX)
        return std::nullopt;
    if (IsKey(key, "HKEN") && value == 0)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<QString> TTagCatalogue::MarkerStoredText(const TTagKeyInfo& key, int64_t pointMs) {
    if (key.Kind != TFieldKind::Marker)
        return std::nullopt;
    const bool zeroIsUnset = IsKey(key, "ISRF") || IsKey(key, "IMED");
    if (pointMs < 0 || (zeroIsUnset && pointMs == 0))
        return std::nullopt;
    return QString::number(pointMs);
}

std::optional<QString> TTagCatalogue::TextStoredText(const TTagKeyInfo& key,
                                                     const QString& fieldText) {
    if (!fieldText.isEmpty())
        return fieldText;
    if (key.EmptyRule == TEmptyRule::OneBlank)
        return OneBlank();
    return std::nullopt;
}
