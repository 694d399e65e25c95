#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The one table of the 35 information keys: what each means here, the editor field that
// shows it, the list column that shows it and the text form in which it is stored. The
// editor, the marker model, the file list, batch tagging and cuemark-tag all read from it,
// so a key's rules live in exactly one place.

// Editor pages in tab order (the "Image" page is never shown and "A&bout" holds no keys).
enum class TTagPage { Description, Times, Authoring, Commercial, Music };

enum class TFieldKind {
    Edit,      // one line
    Memo,      // several lines, vertical scroll bar
    Combo,     // drop-down list that also accepts typed text
    CheckBox,  // "BFAD"
    Marker,    // a time span shown with TimeText
    DateField, // masked "!90/90/0000"
    TimeField  // masked "00:00"
};

// What the stored text is.
enum class TValueForm {
    Text,            // free text
    Flag,            // "-1" when ticked, "0" when not
    MarkerFromStart, // decimal milliseconds from the start of the audio
    MarkerBeforeEnd, // decimal milliseconds before the end of the audio
    Date,            // "yyyy/mm/dd"
    Time             // "hh:nn", 24-hour
};

// What a save does with a key whose field is empty (or, for markers, whose point is unset).
enum class TEmptyRule {
    Remove,     // RemoveTag
    OneBlank,   // written as a single blank of length 1
    AlwaysWrite // never empty ("BFAD")
};

// Where the combo's entries come from.
enum class TComboSource { None, Categories, Genres, Fixed };

struct TTagKeyInfo {
    const char* Key;          // four ASCII letters
    const char* Meaning;      // what the key holds in this system
    const char* FieldCaption; // the editor field's caption as stored ("&&" shows one "&")
    TTagPage Page;
    TFieldKind Kind;
    int Limit;  // most characters the user can type; 0 = no limit
    int Column; // list column number 3..34; 0 = not shown in the list
    TValueForm Form;
    TEmptyRule EmptyRule;
    bool IsChunk;    // "DISP": read with GetChunkInfo, written with SetChunkInfo
    bool Capitals;   // the field turns typed text into capitals ("ISRC")
    bool MultiLine;  // the value may hold line breaks
    bool Id3v1Field; // stays editable on an MPEG file without ID3v2
    TComboSource Combo;

    QString KeyText() const { return QString::fromLatin1(Key); }
    QString Caption() const { return QString::fromUtf8(FieldCaption); }
};

// One extended column of the file list, numbered 1..34 in the order of the column
// selection dialog. Columns 1 ("Format") and 2 ("Time") come from the playback library
// and have no key; 10 and 11 show a date key followed by one blank and a time key when
// that time is not empty.
struct TColumnInfo {
    int Number;
    const char* CaptionText;
    const char* Key;     // nullptr for columns 1 and 2
    const char* TimeKey; // "BSTM" / "BETM" for columns 10 / 11, else nullptr

    QString Caption() const { return QString::fromLatin1(CaptionText); }
    bool HasKey() const { return Key != nullptr; }
};

class TTagCatalogue {
public:
    static constexpr int KeyCount = 35;
    static constexpr int ColumnCount = 34;
    static constexpr int FirstTagColumn = 3;
    static constexpr int FormatColumn = 1;
    static constexpr int TimeColumn = 2;

    // The 35 keys in catalogue order: "DISP", "IART", "ISRC", "BFAD", "ISRF", ... "IBPM".
    static std::span<const TTagKeyInfo> Keys();
    // The key's record; nullptr for a text that is not one of the 35 keys (exact case).
    static const TTagKeyInfo* FindKey(std::string_view key);
    static const TTagKeyInfo* FindKey(const QString& key);
    static const TTagKeyInfo* FindKey(const char* key) {
        return key != nullptr ? FindKey(std::string_view(key)) : nullptr;
    }

    // Columns 1..34 in number order; Columns()[n - 1].Number == n.
    static std::span<const TColumnInfo> Columns();
    // The column's record; nullptr outside 1..34.
    static const TColumnInfo* FindColumn(int number);
    // The key shown by a column (its date key for 10 and 11); nullptr for 1, 2 and others.
    static const TTagKeyInfo* KeyOfColumn(int number);

    // Page captions as stored: "&Description / Tones", "&Times / Album", "&Authoring",
    // "&Commercial", "Music".
    static QString PageCaption(TTagPage page);

    // The fixed entries of the Music page's combos ("BKEY", "BEND", "BTXR", "BTPO"), in
    // order; empty for every other key.
    static std::span<const char* const> ComboEntries(std::string_view key);

    // --- stored forms -------------------------------------------------------------

    // "BFAD": "-1" when ticked, "0" when not.
    static QString FlagStoredText(bool ticked);
    // "BFAD" ticks the box when non-empty and not "0".
    static bool FlagFromStored(const QString& stored);

    // A marker key's stored text read as a point: the decimal value when the text is all
    // digits (and fits), else nothing. A stored "HKEN" of "0" counts as unset as well.
    static std::optional<uint32_t> MarkerFromStored(const TTagKeyInfo& key, const QString& stored);
    // The text to store for a marker point, or nothing when the key is to be removed:
    // "ISRF" and "IMED" when the point is 0 or less, "HKST" and "HKEN" when it is unset
    // (negative). pointMs is signed so that "unset" (-1) can be passed.
    static std::optional<QString> MarkerStoredText(const TTagKeyInfo& key, int64_t pointMs);

    // The text to store for a text key (Form Text) whose field holds fieldText, or nothing
    // when the key is to be removed: empty text is removed, except "DISP" which is stored as
    // one blank.
    static std::optional<QString> TextStoredText(const TTagKeyInfo& key, const QString& fieldText);

    // The single blank written for an empty "DISP", "IGNR" or "IKEY".
    static QString OneBlank() { return QStringLiteral(" "); }
};
