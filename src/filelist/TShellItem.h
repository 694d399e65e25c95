#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include "TFileStamp.h"
#include "TPidl.h"

#include <cstdint>
#include <memory>

// One entry of the folder list: an item of the shown folder with its names, capabilities
// and the details read for its row. Row i of the list shows entry i.
class TShellItem {
public:
    static constexpr int ValueCount = 37; // information columns 1..37

    TShellItem() = default;
    TShellItem(const TShellItem&) = delete;
    TShellItem& operator=(const TShellItem&) = delete;

    // The item's one-item list within the shown folder (its full list is the folder's list
    // and this one: TFolderListModel::AbsoluteIDOf).
    TPidl RelativeID;
    bool Stale = true;      // details must be (re-)read before the row is shown
    QString DisplayName;    // the row's caption
    QByteArray ParsingName; // full path bytes of a file-system item ("::..." for virtual ones)
    int IconIndex = -1;     // index in the namespace's icon list; -1 until read
    int OverlayIndex = -1;  // overlay drawn over the icon; -1 when none
    int64_t Size = 0;       // file size in bytes (all 64 bits)
    QDateTime ModifiedTime; // last write time, local (the Modified column); invalid until read
                            // and for a file without one
    bool NotFileSystem = false;
    bool IsFolder = false;
    bool Ghosted = false; // hidden item: icon drawn faded
    bool IsLink = false;
    bool Shared = false;
    bool IsFileSystem = false;
    bool Seen = false;          // work flag of a folder re-read
    bool CutMark = false;       // cut to the clipboard: icon drawn faded
    bool SelectionMark = false; // carries the selection across a sort
    // Copy, move, rename and delete (the folder's saCan* bits): asked of the folder when a
    // menu, a drag or an edit first needs them (TFolderListModel::Capabilities), not for
    // every item as it is listed; forgotten when the entry is read again.
    mutable bool CapabilitiesKnown = false;
    mutable uint32_t Capabilities = 0;
    uint32_t Attributes = 0; // file mode bits read with the details
    bool ReadFailed = false; // the last read of the audio information failed: row drawn red
    bool Added = false;      // work flag of a folder re-read
    bool DatesRead = false;  // the air dates (columns 10..13) were read with the details
    // The listing's examination of the item (one stat), taken by the first pass that follows
    // it closely instead of a stat of its own; ListedAtMs (steady clock) < 0 when none.
    TFileStamp Listed;
    uint32_t ListedMode = 0;
    int64_t ListedAtMs = -1;

    // Text of information column n (1..ValueCount); empty until read or outside the range.
    QString Value(int n) const { return ValueView(n).toString(); }
    // The same text without a copy; valid until the next SetValue.
    QStringView ValueView(int n) const;
    void SetValue(int n, const QString& text);
    // Sets the columns of `columns` (bit n for column n) at once, texts[i] for the i-th of
    // them in column order; the other columns keep their values.
    void SetValues(uint64_t columns, const QStringView* texts);
    // The columns that have a text (bit n for column n).
    uint64_t ValueColumns() const;
    // The texts of the columns of `columns` (1..ValueCount; others are passed over) in column
    // order, an empty one where a column has none; returns how many. Views as ValueView's.
    int ValueViews(uint64_t columns, QStringView* texts) const;
    // All values replaced at once by texts of the columns of `columns` (none of them empty),
    // given one after another in `units`, the i-th ending at ends[i].
    void ReplaceValues(uint64_t columns, const uint32_t* ends, const char16_t* units);

private:
    // All values of the entry in one block, so a large folder costs little after a full pass
    // too: a 64-bit mask of the columns that have a text, the end offset (uint32) of each
    // such text in column order, then the texts in UTF-16. Empty values take no space; no
    // values, no block.
    std::unique_ptr<char16_t[]> Texts;
};
