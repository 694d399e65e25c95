#include "TFolderListModel.h"

#include "PidlHelp.h"
#include "SortRules.h"
#include "TAudioFileRule.h"
#include "TColumnTexts.h"
#include "TDetailReader.h"
#include "TFileOperations.h"
#include "TListRoles.h"
#include "TOpenAudioFile.h"
#include "TShellNamespace.h"
#include "TSystemIconTable.h"

#include <QBrush>
#include <QColor>
#include <QFile>
#include <QMultiHash>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <numeric>

TFolderListModel::TFolderListModel(QObject* parent)
    : QAbstractTableModel(parent), Desktop(TShellNamespace::DesktopFolder()),
      ListColumns(TListColumns::Fixed()) {}

TFolderListModel::~TFolderListModel() = default;

int TFolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int TFolderListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ListColumns.size());
}

QVariant TFolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count() || index.column() >= columnCount())
        return {};
    const TShellItem& entry = Entry(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (role == Qt::ToolTipRole && column != 0)
            return {};
        if (column == 0 && role == Qt::ToolTipRole) {
            const auto air = AirStateOf(index.row(), AirMoment());
            if (air && air->State != TAirState::Evergreen)
                return entry.DisplayName + u'\n' + air->Text();
        }
        if (column == 0)
            return entry.DisplayName;
        if (column == 1)
            return TColumnTexts::SizeText(entry.Size, entry.IsFolder || entry.NotFileSystem);
        if (column == 2)
            return TColumnTexts::ModifiedText(entry.ModifiedTime);
        return entry.Value(ListColumns[static_cast<size_t>(column)].Number);
    case Qt::EditRole:
        // The item's own file name, as the renamer takes it (the display name may differ).
        if (column == 0)
            return QFile::decodeName(TFileOperations::FileName(PathOfRow(index.row())));
        return {};
    case IsFolderRole:
        return entry.IsFolder;
    case Qt::DecorationRole:
        if (column == 0 && IconLookup && entry.IconIndex >= 0)
            return IconLookup(entry.IconIndex);
        return {};
    case Qt::TextAlignmentRole:
        if (column == 1)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if (entry.ReadFailed)
            return QBrush(QColor(Qt::red));
        return {};
    case ReadFailedRole:
        return entry.ReadFailed;
    case AirStateRole:
        if (const auto air = AirStateOf(index.row(), AirMoment()))
            return static_cast<int>(air->State);
        return {};
    case FadedIconRole:
        return entry.Ghosted || entry.CutMark;
    case OverlayIconRole:
        return entry.IsLink ? LinkOverlay : QIcon();
    default:
        return {};
    }
}

Qt::ItemFlags TFolderListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0 && index.row() < Count() && Renamer &&
        (Capabilities(index.row()) & saCanRename) != 0 && !PathOfRow(index.row()).isEmpty())
        result |= Qt::ItemIsEditable;
    return result;
}

bool TFolderListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QByteArray oldPath = PathOfRow(index.row());
    const QByteArray name = QFile::encodeName(value.toString());
    if (name.isEmpty() || name == TFileOperations::FileName(oldPath))
        return false;
    const std::optional<QByteArray> newPath = Renamer(oldPath, name);
    if (!newPath || *newPath == oldPath)
        return false;
    // The renamer may have let the window paint: the row is found again by its path. Within a
    // folder the entry keeps its row; elsewhere (the desktop) the folder is re-read.
    const int row = RowOfPath(oldPath);
    if (row < 0 || !RenameEntry(row, TFileOperations::FileName(*newPath)))
        RefreshFolder(false);
    emit EntryRenamed(oldPath, *newPath);
    return true;
}

QVariant TFolderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const TListColumn& column = ListColumns[static_cast<size_t>(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.Caption;
    case ColumnNumberRole:
        return column.Number;
    case Qt::TextAlignmentRole:
        if (section == 1)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

namespace {

// Attributes asked of every item when its entry is made; the capabilities are asked only
// when needed (an access() per item would double a big folder's listing).
constexpr uint32_t EntryAttributes = saFileSystem | saFolder | saShare | saLink | saGhosted;
constexpr uint32_t CapabilityAttributes = saCanDelete | saCanRename | saCanMove | saCanCopy;

long long SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

// One pass (nested ones included): counted while it runs; one with progress says when it ends.
class TFolderListModel::TPassScope {
public:
    TPassScope(TFolderListModel& model, bool progress) : Model(model), Progress(progress) {
        ++Model.ReadDepth;
    }
    ~TPassScope() {
        --Model.ReadDepth;
        if (Progress)
            emit Model.PassEnded();
    }
    TPassScope(const TPassScope&) = delete;
    TPassScope& operator=(const TPassScope&) = delete;

private:
    TFolderListModel& Model;
    bool Progress;
};

bool TFolderListModel::OpenFolder(PCItemIDList absolute) {
    if (absolute == nullptr)
        return false;
    emit FolderAboutToOpen();
    TPidl copy = TPidl::Copy(absolute);
    std::unique_ptr<TShellFolder> folder;
    errno = 0;
    if (PIDLCount(absolute) > 0)
        folder = Desktop->BindToObject(absolute);
    const bool opened = PIDLCount(absolute) == 0 || folder != nullptr;
    Folder = std::move(copy);
    Current = std::move(folder);
    SortLess = &TFolderListModel::NameLess;
    FolderError = opened ? 0 : (errno != 0 ? errno : ENOENT);
    // A folder that cannot be had shows no rows (its names are still asked of the desktop).
    ResetEntries(opened ? Enumerate() : TEntries{}, SortLess);
    Path = Bytes(GetPathFromPIDL(Folder.Get()));
    if (Path.isEmpty())
        Path = Bytes(Desktop->GetDisplayNameOf(Folder.Get(), dntNormal));
    ParsingName = Bytes(Desktop->GetDisplayNameOf(Folder.Get(), dntForParsing));
    emit FolderOpened();
    return opened;
}

void TFolderListModel::RefreshFolder(bool resort) {
    if (!Folder)
        return;
    std::vector<TPidl> items;
    if (!CurrentFolder().EnumObjects(efFolders | efNonFolders | efIncludeHidden, items))
        return; // a folder that can no longer be read keeps its rows
    MergeEntries(std::move(items), resort ? SortLess : TLessItem());
}

TFolderListModel::TEntries TFolderListModel::Enumerate() {
    TEntries entries;
    std::vector<TPidl> items;
    std::vector<TItemFacts> facts;
    errno = 0;
    // Every examination of the listing is at least as new as its start.
    const long long listedAt = SteadyMs();
    if (!CurrentFolder().EnumObjectsWithFacts(efFolders | efNonFolders | efIncludeHidden, items,
                                              facts)) {
        FolderError = errno != 0 ? errno : EIO;
        return entries;
    }
    entries.reserve(items.size());
    // A big folder (on a share: seconds) shows progress as a pass does, and the window keeps
    // painting. The rows of the folder left are gone first, so nothing reads them against the
    // new folder meanwhile; the pass is not cancelled (a part of a folder is not shown).
    const int n = static_cast<int>(items.size());
    const bool progress = ReadDepth == 0 && n > EnumerateProgressItems;
    const TPassScope pass(*this, progress);
    if (progress) {
        ResetEntries(TEntries{}, TLessItem());
        emit PassBegun();
    }
    for (int i = 0; i < n; ++i) {
        if (progress)
            emit PassStep(i * 100 / n);
        const auto at = static_cast<size_t>(i);
        entries.push_back(
            MakeEntry(std::move(items[at]), at < facts.size() ? &facts[at] : nullptr, listedAt));
    }
    return entries;
}

std::unique_ptr<TShellItem> TFolderListModel::MakeEntry(TPidl relative, const TItemFacts* facts,
                                                        long long listedAtMs) {
    ++EntriesMade;
    auto entry = std::make_unique<TShellItem>();
    const TShellFolder& folder = CurrentFolder();
    const PCItemIDList id = relative.Get();
    folder.GetNamesOf(id, ParsingScratch, NormalScratch);
    entry->DisplayName = QString::fromStdString(NormalScratch);
    entry->ParsingName = Bytes(ParsingScratch);
    const bool known = facts != nullptr && facts->Known;
    const uint32_t attributes =
        known ? facts->Attributes & EntryAttributes : folder.GetAttributesOf(id, EntryAttributes);
    if (known && facts->Examined) {
        entry->Listed = {facts->Size, facts->MtimeNs, facts->CtimeNs, facts->Inode};
        entry->ListedMode = facts->Mode;
        entry->ListedAtMs = listedAtMs;
    }
    entry->IsFileSystem = (attributes & saFileSystem) != 0;
    entry->NotFileSystem = !entry->IsFileSystem;
    entry->IsFolder = (attributes & saFolder) != 0;
    entry->Shared = (attributes & saShare) != 0;
    entry->IsLink = (attributes & saLink) != 0;
    entry->Ghosted = (attributes & saGhosted) != 0;
    entry->RelativeID = std::move(relative);
    return entry;
}

TPidl TFolderListModel::AbsoluteIDOf(const TShellItem& entry) const {
    return TPidl(ConcatPIDLs(Folder.Get(), entry.RelativeID.Get()));
}

uint32_t TFolderListModel::Capabilities(int row) const {
    if (row < 0 || row >= Count())
        return 0;
    const TShellItem& entry = Entry(row);
    if (!entry.CapabilitiesKnown) {
        entry.Capabilities =
            CurrentFolder().GetAttributesOf(entry.RelativeID.Get(), CapabilityAttributes);
        entry.CapabilitiesKnown = true;
    }
    return entry.Capabilities;
}

bool TFolderListModel::IsFileSystemFolder() const {
    if (!Folder)
        return false;
    return (Desktop->GetAttributesOf(Folder.Get(), saFileSystem) & saFileSystem) != 0;
}

bool TFolderListModel::IsFolderRow(int row) const {
    if (row < 0 || row >= Count())
        return false;
    return (CurrentFolder().GetAttributesOf(Entry(row).RelativeID.Get(), saFolder) & saFolder) != 0;
}

bool TFolderListModel::IsFileRow(int row) const {
    if (row < 0 || row >= Count())
        return false;
    const uint32_t attributes =
        CurrentFolder().GetAttributesOf(Entry(row).RelativeID.Get(), saFileSystem | saFolder);
    return (attributes & saFileSystem) != 0 && (attributes & saFolder) == 0;
}

bool TFolderListModel::IsShownFolder(int row) const {
    if (row < 0 || row >= Count() || !Folder)
        return false;
    return Desktop->CompareIDs(AbsoluteIDOf(Entry(row)).Get(), Folder.Get()) == 0;
}

void TFolderListModel::SetColumns(std::vector<TListColumn> columns) {
    beginResetModel();
    ListColumns = std::move(columns);
    endResetModel();
}

bool TFolderListModel::NameLess(const TShellItem& a, const TShellItem& b) {
    // The Name column's own rule, so a folder opens in the order a click on Name gives.
    const int byName = CompareNameOrder({a.NotFileSystem, a.IsFolder, a.DisplayName},
                                        {b.NotFileSystem, b.IsFolder, b.DisplayName});
    if (byName != 0)
        return byName < 0;
    return a.ParsingName < b.ParsingName;
}

void TFolderListModel::ResetEntries(TEntries entries, const TLessItem& less) {
    AudioIcons.clear();
    CacheLoaded = false;
    CacheRows.clear();
    LoudnessRows.Clear();
    beginResetModel();
    Entries = std::move(entries);
    // A folder's listing often comes in the order asked for already (names alike in case):
    // checked in one pass, sorted only when it is not.
    const auto ordered = [&less](const auto& a, const auto& b) { return less(*a, *b); };
    if (less && !std::is_sorted(Entries.begin(), Entries.end(), ordered))
        std::stable_sort(Entries.begin(), Entries.end(), ordered);
    endResetModel();
}

void TFolderListModel::MergeEntries(std::vector<TPidl> items, const TLessItem& less) {
    // Existing entries by identity (their item's bytes); a key met twice keeps all its rows,
    // matched in order. Only items not met get an entry, so a notice in a big folder costs
    // one listing, not a look at every item.
    const auto key = [](PCItemIDList id) {
        return QByteArray::fromRawData(reinterpret_cast<const char*>(ItemBytes(id)),
                                       static_cast<qsizetype>(GetPidlSize(id)));
    };
    QMultiHash<QByteArray, int> rows;
    rows.reserve(Count());
    for (int row = Count() - 1; row >= 0; --row) {
        Entry(row).Seen = false;
        rows.insert(key(Entry(row).RelativeID.Get()), row);
    }
    TEntries added;
    for (TPidl& item : items) {
        auto found = rows.find(key(item.Get()));
        if (found != rows.end()) {
            Entry(found.value()).Seen = true;
            rows.erase(found);
        } else {
            auto entry = MakeEntry(std::move(item));
            entry->Seen = true;
            entry->Added = true;
            added.push_back(std::move(entry));
        }
    }
    // Remove vanished entries run by run from the end, so every removal is announced at the
    // rows it really takes and the view moves the selection with the entries that stay.
    for (int row = Count() - 1; row >= 0;) {
        if (Entry(row).Seen) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !Entry(first - 1).Seen)
            --first;
        for (int gone = first; gone <= row; ++gone)
            ForgetCached(Entry(gone));
        beginRemoveRows(QModelIndex(), first, row);
        Entries.erase(Entries.begin() + first, Entries.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
    if (!added.empty()) {
        beginInsertRows(QModelIndex(), Count(), Count() + static_cast<int>(added.size()) - 1);
        for (auto& item : added) {
            item->Added = false;
            Entries.push_back(std::move(item));
        }
        endInsertRows();
    }
    if (less)
        SortEntries(less);
}

void TFolderListModel::SortEntries(const TLessItem& less) {
    std::vector<int> order(Entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return less(Entry(a), Entry(b)); });
    Reorder(order);
}

void TFolderListModel::SortEntries(const TSortFieldsOf& fields, TSortKind kind, bool ascending) {
    if (kind == TSortKind::Value) {
        // A text column (the usual sort): small keys, sorted in place of row numbers.
        struct TTextKey {
            TTextOrderFields Fields;
            int Row;
        };
        std::vector<TTextKey> keys;
        keys.reserve(Entries.size());
        TSortFields taken;
        for (size_t i = 0; i < Entries.size(); ++i) {
            fields(*Entries[i], taken);
            keys.push_back({{taken.IsFolder, taken.Value}, static_cast<int>(i)});
        }
        std::stable_sort(keys.begin(), keys.end(),
                         [ascending](const TTextKey& a, const TTextKey& b) {
                             const int r = CompareTextOrder(a.Fields, b.Fields);
                             return (ascending ? r : -r) < 0;
                         });
        std::vector<int> order(keys.size());
        for (size_t i = 0; i < keys.size(); ++i)
            order[i] = keys[i].Row;
        Reorder(order);
        return;
    }
    std::vector<TSortFields> keys(Entries.size());
    for (size_t i = 0; i < keys.size(); ++i)
        fields(*Entries[i], keys[i]);
    std::vector<int> order(Entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return CompareSortFields(kind, keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)],
                                 ascending) < 0;
    });
    Reorder(order);
}

void TFolderListModel::Reorder(const std::vector<int>& order) {
    if (std::is_sorted(order.begin(), order.end()))
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(Entries.size());
    TEntries sorted;
    sorted.reserve(Entries.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newRow[static_cast<size_t>(order[i])] = static_cast<int>(i);
        sorted.push_back(std::move(Entries[static_cast<size_t>(order[i])]));
    }
    Entries = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from)
        to.append(index.row() < static_cast<int>(newRow.size())
                      ? createIndex(newRow[static_cast<size_t>(index.row())], index.column())
                      : QModelIndex());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TFolderListModel::ReadEntryDetails(int first, int last, bool notify) {
    const int count = Count();
    if (count == 0)
        return;
    first = std::clamp(first, 0, count - 1);
    last = std::clamp(last, 0, count - 1);
    if (first > last)
        first = last;
    const int n = last - first + 1;

    std::lock_guard<std::recursive_mutex> lock(ReadLock);
    // A listing's examination is as good as a new one only while it is this recent.
    const long long passStart = SteadyMs();
    if (ReadDepth == 0)
        TDetailReader::ZoneMayHaveChanged(); // Modified texts follow a change of zone
    TDetailPlan plan = TDetailReader::Plan(ListColumns);
    if (plan.Audio || ReadAir)
        TDetailReader::AddAirColumns(plan);
    // Only the outermost pass shows progress: a pass nested in it (a repaint while the window
    // keeps painting) must not take the outer pass's bar away.
    // A pass over many rows shows progress even with the fixed columns only (a sort by Size
    // on a network share takes seconds).
    const bool progress = ReadDepth == 0 && (plan.Audio ? n > 11 : n > 1000) && Entry(last).Stale;
    if (ReadDepth == 0)
        PassCancelled = false;
    const TPassScope pass(*this, progress);
    if (progress)
        emit PassBegun();

    if (Cache && plan.Audio && !CacheLoaded)
        LoadCacheRows();
    if (Cache && plan.Loudness && !LoudnessRows.Loaded() && Cache->Usable() && IsFileSystemFolder())
        LoudnessRows.Load(*Cache, Path);

    int firstRead = -1;
    int lastRead = -1;
    TOpenAudioFile file;
    const uint64_t wanted = TDetailReader::ColumnsOf(plan);
    for (int row = first; row <= last; ++row) {
        if (progress)
            emit PassStep((row - first) * 100 / n);
        if (progress && CancelCheck && CancelCheck()) {
            PassCancelled = true;
            break;
        }
        // A nested pass may run inside the step above; the rows stay (folder changes wait
        // for the outermost pass to end), only their stale flags may have changed.
        TShellItem& entry = Entry(row);
        if (!entry.Stale)
            continue;
        ReadOne(entry, plan, wanted,
                entry.ListedAtMs >= 0 && passStart - entry.ListedAtMs <= ListingReuseMs, file);
        entry.Stale = false;
        if (firstRead < 0)
            firstRead = row;
        lastRead = row;
    }
    if (Cache && ReadDepth == 1)
        Cache->Flush();
    if (notify && firstRead >= 0)
        emit dataChanged(index(firstRead, 0), index(lastRead, columnCount() - 1));
}

void TFolderListModel::ReadOne(TShellItem& entry, const TDetailPlan& plan, uint64_t wanted,
                               bool useListed, TOpenAudioFile& file) {
    entry.CapabilitiesKnown = false;
    // The shown folder's icon key first; the namespace's lookup of the full list otherwise.
    // Audio files take their icon by their extension alone: the shell's answer for the first
    // of each extension is kept for the rest of the folder (two stats and a type lookup a row).
    const bool audioFile = entry.IsFileSystem && !entry.IsFolder && !entry.IsLink &&
                           TAudioFileRule::IsAudioPath(entry.ParsingName);
    // An audio name ends in a dot and three letters: the key is made on the stack.
    char lower[4] = {};
    QByteArray suffix;
    if (audioFile) {
        const char* end = entry.ParsingName.constData() + entry.ParsingName.size() - 4;
        for (int i = 0; i < 4; ++i)
            lower[i] =
                end[i] >= 'A' && end[i] <= 'Z' ? static_cast<char>(end[i] - 'A' + 'a') : end[i];
        suffix = QByteArray::fromRawData(lower, 4);
    }
    const auto known = suffix.isEmpty() ? AudioIcons.end() : AudioIcons.find(suffix);
    if (known != AudioIcons.end()) {
        entry.IconIndex = known->second;
    } else {
        entry.IconIndex = TSystemIconTable::Instance().IndexOf(
            CurrentFolder().GetIconKeyOf(entry.RelativeID.Get(), false));
        if (entry.IconIndex < 0)
            entry.IconIndex =
                GetIconIndex(AbsoluteIDOf(entry).Get(),
                             SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_PIDL | SHGFI_SMALLICON);
        if (!suffix.isEmpty() && entry.IconIndex >= 0)
            AudioIcons.emplace(QByteArray(lower, 4), entry.IconIndex);
    }
    const bool audio = plan.Audio && entry.IsFileSystem && !entry.IsFolder &&
                       TAudioFileRule::IsAudioPath(entry.ParsingName);
    // An audio file that must be read is opened once: that open's examination is its stamp,
    // and the libraries read the file there. One the cache may answer for is only examined.
    const bool opens = audio && TDetailReader::ReadsOpenFiles(plan);
    const QByteArrayView cacheName = Cache && audio ? CacheNameView(entry) : QByteArrayView();
    const int cached = cacheName.isEmpty() ? -1 : CacheRows.Find(cacheName);
    TFileStamp stamp;
    if (opens && cached < 0 && file.Open(entry.ParsingName.constData())) {
        stamp = TDetailReader::TakeFileData(entry, file.Facts());
    } else {
        file.Close();
        stamp = TDetailReader::ReadFileData(entry, useListed);
    }
    // The name is copied only for what outlives this step (a row to write, a measurement).
    const QByteArrayView nameView = stamp.IsKnown() ? cacheName : QByteArrayView();
    bool fromCache = false;
    if (!nameView.isEmpty() && cached >= 0) {
        // A failed read is tried again: its cause may have passed (a lock, a share's hiccup)
        // without the file changing.
        const TTagCache::TRow row = CacheRows.Row(cached);
        fromCache = row.Stamp == stamp && !row.ReadFailed && (row.Columns & wanted) == wanted &&
                    TTagCache::Apply(row, entry);
        CacheRows.Erase(cached);
    }
    const QByteArray name = fromCache && !plan.Loudness ? QByteArray() : nameView.toByteArray();
    if (fromCache) {
        ++CacheHitCount;
    } else {
        if (opens && !file.IsOpen() && file.Open(entry.ParsingName.constData()))
            stamp = TDetailReader::TakeFileData(entry, file.Facts());
        TDetailReader::ReadAudio(entry, plan, &file);
        if (!name.isEmpty() && Cache->Usable())
            Cache->Put(Path, name, TTagCache::RowOf(entry, stamp, wanted));
    }
    file.Close();
    if (plan.Loudness && audio)
        LoudnessRows.Fill(entry, name, stamp);
    entry.DatesRead = plan.Audio && !entry.ReadFailed && entry.IsFileSystem && !entry.IsFolder &&
                      TAudioFileRule::IsAudioPath(entry.ParsingName);
}

void TFolderListModel::SetAirReading(bool on) {
    if (on == ReadAir)
        return;
    ReadAir = on;
    // Rows read while no audio column was shown lack their dates.
    if (on)
        for (auto& entry : Entries)
            if (!entry->DatesRead)
                entry->Stale = true;
}

std::optional<TAirValidity> TFolderListModel::AirStateOf(int row, const QDateTime& moment) const {
    if (row < 0 || row >= Count())
        return std::nullopt;
    const TShellItem& entry = Entry(row);
    if (entry.Stale || !entry.DatesRead || entry.ReadFailed)
        return std::nullopt;
    return TAirValidity::At(TAirTimes::FromColumnTexts(entry.Value(10), entry.Value(11),
                                                       entry.Value(12), entry.Value(13)),
                            moment);
}

void TFolderListModel::SetTagCache(std::shared_ptr<TTagCache> cache) {
    Cache = std::move(cache);
    CacheLoaded = false;
    CacheRows.clear();
    LoudnessRows.Clear();
}

QByteArray TFolderListModel::CacheName(const TShellItem& entry) const {
    return CacheNameView(entry).toByteArray();
}

QByteArrayView TFolderListModel::CacheNameView(const TShellItem& entry) const {
    const QByteArray& path = entry.ParsingName;
    if (Path.isEmpty() || !Path.startsWith('/'))
        return {};
    const qsizetype start = Path.endsWith('/') ? Path.size() : Path.size() + 1;
    if (path.size() <= start || !path.startsWith(Path) || path[start - 1] != '/' ||
        path.indexOf('/', start) >= 0)
        return {};
    return QByteArrayView(path).sliced(start);
}

void TFolderListModel::LoadCacheRows() {
    CacheLoaded = true;
    CacheRows.clear();
    if (!Cache->Usable() || !IsFileSystemFolder())
        return;
    CacheRows = Cache->FolderRows(Path, Entries.size());
    // Rows of files no longer in the folder are dropped as the folder is listed.
    std::vector<bool> listed(static_cast<size_t>(CacheRows.Places()), false);
    for (const auto& entry : Entries) {
        const QByteArrayView name = CacheNameView(*entry);
        if (const int found = name.isEmpty() ? -1 : CacheRows.Find(name); found >= 0)
            listed[static_cast<size_t>(found)] = true;
    }
    std::vector<QByteArray> gone;
    for (int n = 0; n < CacheRows.Places(); ++n) {
        if (listed[static_cast<size_t>(n)] || CacheRows.IsErased(n))
            continue;
        gone.push_back(CacheRows.Name(n).toByteArray());
        CacheRows.Erase(n);
    }
    Cache->Forget(Path, gone);
}

void TFolderListModel::ForgetCached(const TShellItem& entry, bool analysesToo) {
    if (!Cache)
        return;
    const QByteArray name = CacheName(entry);
    if (!name.isEmpty()) {
        if (const int found = CacheRows.Find(name); found >= 0)
            CacheRows.Erase(found);
        Cache->Forget(Path, {name}, analysesToo);
    }
}

void TFolderListModel::MarkAllStale() {
    // The cache answers again for every entry (one query), instead of every file being read.
    CacheLoaded = false;
    CacheRows.clear();
    LoudnessRows.Clear();
    for (auto& entry : Entries) {
        entry->Stale = true;
        entry->ListedAtMs = -1;
    }
    if (!Entries.empty())
        emit dataChanged(index(0, 0), index(Count() - 1, columnCount() - 1));
}

QByteArray TFolderListModel::PathOfRow(int row) const {
    if (row < 0 || row >= Count())
        return {};
    return QByteArray::fromStdString(GetPathFromPIDL(AbsoluteIDOf(Entry(row)).Get()));
}

int TFolderListModel::RowOfPath(const QByteArray& path) const {
    if (path.isEmpty())
        return -1;
    for (int row = 0; row < Count(); ++row)
        if (PathOfRow(row) == path)
            return row;
    return -1;
}

bool TFolderListModel::SetCutMarks(const QList<QByteArray>& paths) {
    bool changed = false;
    for (int row = 0; row < Count(); ++row) {
        const bool cut = !paths.isEmpty() && paths.contains(PathOfRow(row));
        if (Entry(row).CutMark == cut)
            continue;
        Entry(row).CutMark = cut;
        changed = true;
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
    return changed;
}

bool TFolderListModel::RenameEntry(int row, const QByteArray& name) {
    if (row < 0 || row >= Count() || PIDLCount(Folder.Get()) == 0)
        return false;
    TPidl relative;
    const TShellFolder& folder = CurrentFolder();
    if (!folder.ParseDisplayName(name.toStdString(), relative))
        return false;
    TShellItem& entry = Entry(row);
    ForgetCached(entry);
    entry.DisplayName = QString::fromUtf8(folder.GetDisplayNameOf(relative.Get(), dntNormal));
    entry.ParsingName =
        QByteArray::fromStdString(folder.GetDisplayNameOf(relative.Get(), dntForParsing));
    entry.RelativeID = std::move(relative);
    entry.CutMark = false;
    MarkStale(row); // a new extension may mean a new icon and new details
    return true;
}

void TFolderListModel::SetEntryValue(int row, int n, const QString& value) {
    if (row < 0 || row >= Count())
        return;
    // The file's tags were written: its cached row and its listing's examination no longer
    // hold; its audio, measured or not, is what it was.
    ForgetCached(Entry(row), false);
    Entry(row).ListedAtMs = -1;
    Entry(row).SetValue(n, value);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TFolderListModel::SetEntryLoudness(int row, const TLoudnessFigures& figures) {
    if (row < 0 || row >= Count())
        return;
    TLoudnessRows::Show(Entry(row), figures);
    // A later pass takes the measurement from the cache again.
    LoudnessRows.Clear();
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TFolderListModel::MarkStale(int row) {
    if (row < 0 || row >= Count())
        return;
    Entry(row).Stale = true;
    Entry(row).ListedAtMs = -1;
    Entry(row).CapabilitiesKnown = false;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}
