#pragma once

#include "TMarkerModel.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

struct TTagKeyInfo;

// One call into the tagging library for the file being saved.
struct TTagWrite {
    enum class TOp { SetChunk, SetTag, Remove };
    TOp Op;
    QString Key;
    QString Text; // written as UTF-8; its byte length is passed as the length

    bool operator==(const TTagWrite& other) const = default;
};

// The editor's contents without widgets: the text of every text, date and time field as
// the field shows it (dates "mm/dd/yyyy", masked blanks included), the "No fade at segue"
// box and the markers. Loading fills it from the stored keys by the reading rules; saving
// turns it into the ordered list of library calls by the writing rules.
class TEditorValues {
public:
    // Text of the field of a text, date or time key ("" when never set).
    QString Field(const QString& key) const { return Fields.value(key); }
    void SetField(const QString& key, const QString& text) { Fields.insert(key, text); }

    bool NoFade = false;
    TMarkerModel Markers;

    // The values shown for a file whose keys read as storedText gives them ("DISP" from
    // its chunk, the rest from INFO): dates shown as "mm/dd/yyyy" when readable, else
    // empty; times as stored when readable, else empty; "BFAD" ticks the box when it is
    // neither empty nor "0"; markers by the digit rule.
    static TEditorValues FromStored(const std::function<QString(const TTagKeyInfo&)>& storedText);

    // The library calls of a save, in the order the file is written: "DISP", "IART",
    // "IGNR", "IKEY", the four times, "ISRC", "BFAD", the markers, then the remaining text
    // keys. Empty text keys are removed, except "DISP", "IGNR" and "IKEY" which are
    // written as one blank; unreadable times are removed.
    QList<TTagWrite> Writes() const;

    // A date or time field counts as empty when its first character is a blank.
    static bool IsEmptyField(const QString& text);

private:
    QHash<QString, QString> Fields;
};
