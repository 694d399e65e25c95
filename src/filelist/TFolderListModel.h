#pragma once

#include "SortRules.h"
#include "TAirValidity.h"
#include "TDetailReader.h"
#include "TListColumns.h"
#include "TLoudnessColumns.h"
#include "TShellFolder.h"
#include "TShellItem.h"
#include "TTagCache.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The folder list's rows over its entries. Rows are virtual: the model keeps no texts of its
// own and copies a cell's text from its entry only when the view asks for it; the costly
// details of an entry are read only when ReadEntryDetails covers its row. Row changes are
// announced to the view row by row (removals, additions, moves in a sort), so a selection
// stays on the entries it was made on.
class TOpenAudioFile;

class TFolderListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using TEntries = std::vector<std::unique_ptr<TShellItem>>;
    // The identity of an entry's item within its folder (its relative identifier's bytes).
    using TLessItem = std::function<bool(const TShellItem&, const TShellItem&)>;

    explicit TFolderListModel(QObject* parent = nullptr);
    ~TFolderListModel() override;

    // --- rows
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // A row's name is editable when its item can be renamed, has a path and a renamer is set.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The edited name (EditRole, column 0) is carried out by the renamer; the entry then takes
    // the renamed item (RenameEntry) and EntryRenamed follows. False when nothing was renamed.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // --- columns
    const std::vector<TListColumn>& Columns() const { return ListColumns; }
    // Replaces the column set (the fixed three first); entries keep their read values.
    void SetColumns(std::vector<TListColumn> columns);

    // --- the shown folder (the namespace's root is the desktop)
    // Shows the folder of an absolute list (copied; the empty list is the desktop): makes an
    // entry per item, folders and hidden items included, ordered by name. False, with no
    // rows, when the folder object cannot be had; false with no effect for null. A folder of
    // more than EnumerateProgressItems items makes its entries as a pass with progress.
    bool OpenFolder(PCItemIDList absolute);
    static constexpr int EnumerateProgressItems = 1000;
    // Why the shown folder's items could not be listed (an errno value; 0 when they could).
    int OpenError() const { return FolderError; }
    // Re-reads the shown folder: see MergeEntries. Nothing when it can no longer be read.
    void RefreshFolder(bool resort);
    // The shown folder's list (null before the first folder) and a new copy of it.
    PCItemIDList FolderID() const { return Folder.Get(); }
    TPidl FolderPIDL() const { return TPidl::Copy(Folder.Get()); }
    // The shown folder's file-system path (its display name when it has none) and its
    // parsing name (what the monitor watches and the settings keep).
    const QByteArray& FolderPath() const { return Path; }
    const QByteArray& FolderParsingName() const { return ParsingName; }
    bool IsFileSystemFolder() const;
    const TShellFolder& DesktopFolder() const { return *Desktop; }
    const TShellFolder& CurrentFolder() const { return Current ? *Current : *Desktop; }
    // Asked of the shown folder anew: the row's item is a folder / a file-system non-folder.
    bool IsFolderRow(int row) const;
    bool IsFileRow(int row) const;
    // Whether the row's item is the shown folder itself (a desktop entry naming it).
    bool IsShownFolder(int row) const;
    // An entry's full identifier list: the shown folder's list and the entry's own.
    TPidl AbsoluteIDOf(const TShellItem& entry) const;
    // What may be done with the row's item (saCanCopy, saCanMove, saCanRename, saCanDelete):
    // asked of the folder when first needed and kept until the entry is read again; 0 for
    // rows out of range.
    uint32_t Capabilities(int row) const;

    // Order of the rows; Name ascending after every change of folder.
    void SetSortLess(TLessItem less) { SortLess = std::move(less); }
    const TLessItem& SortOrder() const { return SortLess; }

    // --- entries
    int Count() const { return static_cast<int>(Entries.size()); }
    TShellItem& Entry(int row) { return *Entries[static_cast<size_t>(row)]; }
    const TShellItem& Entry(int row) const { return *Entries[static_cast<size_t>(row)]; }
    // Replaces every entry (a new folder), ordered by less.
    void ResetEntries(TEntries entries, const TLessItem& less);
    // Merges a new enumeration of the same folder: entries whose item is still there stay
    // with their read details and are not looked at again; new items get entries, appended
    // at the end (then the whole is sorted when less is set); entries whose item is gone are
    // removed.
    void MergeEntries(std::vector<TPidl> items, const TLessItem& less);
    // How many entries were built from folder items so far (tests and benchmarks).
    long long EntriesBuilt() const { return EntriesMade; }
    // Orders the entries, moving rows (and so the selection) with their entries.
    void SortEntries(const TLessItem& less);
    // The same order as a less that compares these fields with CompareSortFields, with each
    // entry's fields taken once (`fields` fills them) rather than at every comparison.
    using TSortFieldsOf = std::function<void(const TShellItem&, TSortFields&)>;
    void SortEntries(const TSortFieldsOf& fields, TSortKind kind, bool ascending);
    // Folders first, then case-insensitive display name order.
    static bool NameLess(const TShellItem& a, const TShellItem& b);

    // --- details
    // Reads the details of every stale entry in the rows first..last (clamped to the
    // entries). notify tells the view the rows changed; the view's own pre-paint pass
    // passes false as it paints the rows next anyway.
    void ReadEntryDetails(int first, int last, bool notify = true);
    // True while a pass runs (on this thread; nested passes included).
    bool IsReading() const { return ReadDepth > 0; }
    // The last outermost pass was ended early by the user; its later rows stay stale.
    bool LastPassCancelled() const { return PassCancelled; }
    // Every entry is read again when next shown.
    void MarkAllStale();
    // A pass takes the size, times and identity an entry's listing examined instead of
    // examining the item again when the listing began at most this long before the pass
    // (the first paint of a folder just opened); an older examination is not trusted, so a
    // change made meanwhile by another program is seen, and the tag cache checked against it.
    static constexpr long long ListingReuseMs = 1000;
    // One entry is read again when next shown; its row is redrawn.
    void MarkStale(int row);

    // --- changes the views show: the model is the one writer of its entries, and each of
    // these announces the rows it changes
    // The file-system path of a row's item; empty for items without one (Computer) and for
    // rows out of range. This is what the clipboard, drops and the editor call a row's path.
    QByteArray PathOfRow(int row) const;
    // The first row whose item has this path; -1 when none (or for an empty path).
    int RowOfPath(const QByteArray& path) const;
    // Marks the rows whose paths are listed as cut (drawn faded) and clears every other row's
    // mark; an empty list clears them all. True when a mark changed.
    bool SetCutMarks(const QList<QByteArray>& paths);
    // A row's item was renamed to `name` within the shown folder: the entry takes the renamed
    // item (names and identifiers), loses its cut mark and is read again. False, with no
    // change, on the desktop or when the shown folder cannot parse the name.
    bool RenameEntry(int row, const QByteArray& name);
    // How an edited name is carried out on disk: the item at `path` renamed to `name` within
    // its folder (never over another item); the new path, or none when nothing was renamed.
    using TRenamer =
        std::function<std::optional<QByteArray>(const QByteArray& path, const QByteArray& name)>;
    void SetRenamer(TRenamer renamer) { Renamer = std::move(renamer); }
    // Sets information column n (1..37) of a row's entry, as a batch just wrote it.
    void SetEntryValue(int row, int n, const QString& value);
    // Shows a measurement of a row's file in the loudness columns.
    void SetEntryLoudness(int row, const TLoudnessFigures& figures);

    // --- air validity
    // While on, every pass reads the air dates of audio files even when only the fixed
    // columns are shown (the validity filter needs them); turning it on reads rows again.
    void SetAirReading(bool on);
    bool AirReading() const { return ReadAir; }
    // The row's validity at a moment; nothing for folders, other files, unread or failed rows.
    std::optional<TAirValidity> AirStateOf(int row, const QDateTime& moment) const;
    // The moment the rows' colours are drawn for (the clock by default).
    void SetAirClock(std::function<QDateTime()> clock) { AirClock = std::move(clock); }
    QDateTime AirMoment() const { return AirClock ? AirClock() : QDateTime::currentDateTime(); }

    // --- the persistent tag cache
    // Passes take an audio file's columns from the cache when its row there is valid and
    // open only files whose row is missing or stale; what they read goes into the cache.
    // Null (the default) reads every file.
    void SetTagCache(std::shared_ptr<TTagCache> cache);
    const std::shared_ptr<TTagCache>& TagCache() const { return Cache; }
    // How many entries were given their columns from the cache (tests and benchmarks).
    long long CacheHits() const { return CacheHitCount; }

    // Asked at each step of a pass with progress: true ends the pass early (the rows read so
    // far keep their values). Set by whoever handles the user's input during a pass.
    void SetCancelCheck(std::function<bool()> check) { CancelCheck = std::move(check); }
    // The icon for an entry's IconIndex, and the overlay drawn over a link's icon.
    void SetIconLookup(std::function<QIcon(int)> lookup) { IconLookup = std::move(lookup); }
    void SetLinkOverlay(const QIcon& icon) { LinkOverlay = icon; }

signals:
    // A pass with progress (a long detail read, making a big folder's entries): begun, at a
    // percentage (0..99), ended. Only the outermost pass announces itself.
    void PassBegun();
    void PassStep(int percent);
    void PassEnded();
    // OpenFolder is about to replace the shown folder / has shown the new one.
    void FolderAboutToOpen();
    void FolderOpened();
    // An edited name renamed the item at oldPath to newPath.
    void EntryRenamed(const QByteArray& oldPath, const QByteArray& newPath);

private:
    std::unique_ptr<TShellFolder> Desktop;
    std::unique_ptr<TShellFolder> Current; // null while the desktop is shown
    TPidl Folder;
    QByteArray Path;
    QByteArray ParsingName;
    TLessItem SortLess = &TFolderListModel::NameLess;
    TEntries Entries;
    long long EntriesMade = 0;
    // Names of the entry being made, kept between entries so a listing allocates none.
    std::string ParsingScratch;
    std::string NormalScratch;
    std::vector<TListColumn> ListColumns;
    std::recursive_mutex ReadLock; // serialises passes; the same thread may enter again
    int ReadDepth = 0;
    bool PassCancelled = false;
    std::function<bool()> CancelCheck;
    TRenamer Renamer;
    std::function<QIcon(int)> IconLookup;
    QIcon LinkOverlay;

    int FolderError = 0;
    bool ReadAir = false;

    class TPassScope;
    std::shared_ptr<TTagCache> Cache;
    bool CacheLoaded = false;         // CacheRows holds the shown folder's rows
    TTagCache::TFolderRows CacheRows; // not yet used by an entry
    TLoudnessRows LoudnessRows;
    long long CacheHitCount = 0;
    std::map<QByteArray, int> AudioIcons; // icon of an audio file by its lower-case extension
    void LoadCacheRows();
    QByteArray CacheName(const TShellItem& entry) const;
    // The same as a view into the entry's path (empty when it is not in the shown folder).
    QByteArrayView CacheNameView(const TShellItem& entry) const;
    void ForgetCached(const TShellItem& entry, bool analysesToo = true);
    std::function<QDateTime()> AirClock;

    TEntries Enumerate();
    // An entry for a relative item; with the listing's facts of it (taken at listedAtMs on
    // the steady clock) it asks the folder nothing more.
    std::unique_ptr<TShellItem> MakeEntry(TPidl relative, const TItemFacts* facts = nullptr,
                                          long long listedAtMs = -1);
    // file: kept open by the pass for the audio files it reads (one buffer for all).
    // `wanted`: the plan's columns (TDetailReader::ColumnsOf), made once for the pass.
    void ReadOne(TShellItem& entry, const TDetailPlan& plan, uint64_t wanted, bool useListed,
                 TOpenAudioFile& file);
    // Moves the entries into `order` (order[i]: the row that becomes row i).
    void Reorder(const std::vector<int>& order);
};
