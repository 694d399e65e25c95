#include "TTagCache.h"

#include "TShellItem.h"

#include <QDir>
#include <QFileInfo>
#include <QVarLengthArray>
#include <QtEndian>

#include <sqlite3.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Marks the file as Cuemark's ("CUMK"), and the layout of its rows; a file with other
// values is set aside rather than read.
constexpr int ApplicationId = 0x43554D4B;
constexpr int SchemaVersion = 4;
// Earlier layouts (1: rows by rowid; 2: a column for each part of a row; 3: the folder's
// path in every row): their rows are dropped, their analyses (costly to make again) kept.
constexpr int FirstOlderVersion = 1;
// Rows queued before they are written in one transaction.
constexpr size_t PendingLimit = 512;
// How long a statement waits for another process's transaction.
constexpr int BusyTimeoutMs = 5000;

constexpr const char* Schema = "CREATE TABLE IF NOT EXISTS folders("
                               " id INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE);"
                               // A row's folder by its id in folders: the path is kept
                               // once, and a row's key is short.
                               "CREATE TABLE IF NOT EXISTS files("
                               " folder INTEGER NOT NULL, name BLOB NOT NULL,"
                               // The stamp, columns, failed mark and texts in one value
                               // (see RowBytes): a folder's query reads two values a row.
                               " row BLOB NOT NULL,"
                               // A folder's rows lie together in key order: its query
                               // reads them in one pass, without a lookup per row.
                               " PRIMARY KEY(folder, name)) WITHOUT ROWID;"
                               // Results of analyses of a file's audio, by kind, with the
                               // stamp of the file they were made from.
                               "CREATE TABLE IF NOT EXISTS analysis("
                               " folder BLOB NOT NULL, name BLOB NOT NULL, kind TEXT NOT NULL,"
                               " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,"
                               " ctime_ns INTEGER NOT NULL, inode INTEGER NOT NULL,"
                               " data BLOB NOT NULL,"
                               " PRIMARY KEY(folder, name, kind))";

constexpr const char* UpsertSql =
    "INSERT OR REPLACE INTO files(folder, name, row) VALUES(?1, ?2, ?3)";

// A stored row: size, mtime, ctime and inode of the stamp, then the columns (8 bytes each,
// little-endian), the failed mark (1 byte), then the texts as EncodeTexts made them.
constexpr qsizetype RowHeaderSize = 5 * 8 + 1;

void RowBytes(const TTagCache::TRow& row, QByteArray& bytes) {
    bytes.resize(RowHeaderSize + row.Texts.size());
    char* out = bytes.data();
    const uint64_t words[5] = {
        static_cast<uint64_t>(row.Stamp.Size), static_cast<uint64_t>(row.Stamp.MtimeNs),
        static_cast<uint64_t>(row.Stamp.CtimeNs), row.Stamp.Inode, row.Columns};
    for (int i = 0; i < 5; ++i)
        qToLittleEndian(words[i], out + 8 * i);
    out[40] = row.ReadFailed ? 1 : 0;
    if (!row.Texts.isEmpty())
        std::memcpy(out + RowHeaderSize, row.Texts.constData(),
                    static_cast<size_t>(row.Texts.size()));
}

// The parts of a stored row; false when it is too short to be one (the file is read again).
bool ParseRow(QByteArrayView bytes, TFileStamp& stamp, uint64_t& columns, bool& failed,
              QByteArrayView& texts) {
    if (bytes.size() < RowHeaderSize)
        return false;
    const char* in = bytes.data();
    stamp.Size = static_cast<int64_t>(qFromLittleEndian<uint64_t>(in));
    stamp.MtimeNs = static_cast<int64_t>(qFromLittleEndian<uint64_t>(in + 8));
    stamp.CtimeNs = static_cast<int64_t>(qFromLittleEndian<uint64_t>(in + 16));
    stamp.Inode = qFromLittleEndian<uint64_t>(in + 24);
    columns = qFromLittleEndian<uint64_t>(in + 32);
    failed = in[40] != 0;
    texts = bytes.sliced(RowHeaderSize);
    return true;
}

bool IsDamage(int code) {
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// File systems on which SQLite's shared-memory WAL index is unsafe or slow.
bool OnNetworkFileSystem(const QString& folder) {
    struct statfs fs {};
    if (::statfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE (sshfs and others)
    case 0x01021997UL: // 9P
    case 0x00C36400UL: // Ceph
    case 0x5346414FUL: // AFS
        return true;
    default:
        return false;
    }
}

void Warn(const QString& text) {
    std::fprintf(stderr, "cuemark: %s\n", text.toLocal8Bit().constData());
}

// `kept`: the bytes outlive the statement's next step (no copy is made of them).
void BindBlob(sqlite3_stmt* statement, int n, const QByteArray& bytes, bool kept = false) {
    // Never bind null: an empty name or folder is still a value.
    sqlite3_bind_blob(statement, n, bytes.isEmpty() ? "" : bytes.constData(),
                      static_cast<int>(bytes.size()), kept ? SQLITE_STATIC : SQLITE_TRANSIENT);
}

// A file's stamp into four parameters from `first` on.
void BindStamp(sqlite3_stmt* statement, int first, const TFileStamp& stamp) {
    sqlite3_bind_int64(statement, first, stamp.Size);
    sqlite3_bind_int64(statement, first + 1, stamp.MtimeNs);
    sqlite3_bind_int64(statement, first + 2, stamp.CtimeNs);
    sqlite3_bind_int64(statement, first + 3, static_cast<sqlite3_int64>(stamp.Inode));
}

// A stamp from four result columns from `first` on (the order BindStamp binds).
TFileStamp ColumnStamp(sqlite3_stmt* statement, int first) {
    TFileStamp stamp;
    stamp.Size = sqlite3_column_int64(statement, first);
    stamp.MtimeNs = sqlite3_column_int64(statement, first + 1);
    stamp.CtimeNs = sqlite3_column_int64(statement, first + 2);
    stamp.Inode = static_cast<uint64_t>(sqlite3_column_int64(statement, first + 3));
    return stamp;
}

// An analysis row's key and stamp: folder, name, kind, then the stamp (parameters 1-7).
void BindAnalysisKey(sqlite3_stmt* statement, const QByteArray& folder, const QByteArray& name,
                     const QByteArray& kind, const TFileStamp& stamp) {
    BindBlob(statement, 1, folder);
    BindBlob(statement, 2, name);
    sqlite3_bind_text(statement, 3, kind.constData(), static_cast<int>(kind.size()),
                      SQLITE_TRANSIENT);
    BindStamp(statement, 4, stamp);
}

// A path's folder ("/" for the root) and name; false for a path without a slash.
bool SplitPath(const QByteArray& path, QByteArray& folder, QByteArray& name) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return false;
    folder = slash == 0 ? QByteArray("/") : path.left(slash);
    name = path.mid(slash + 1);
    return true;
}

// A blob column's bytes, valid until the statement steps on.
QByteArrayView ColumnView(sqlite3_stmt* statement, int n) {
    const void* data = sqlite3_column_blob(statement, n);
    const int size = sqlite3_column_bytes(statement, n);
    return data != nullptr && size > 0 ? QByteArrayView(static_cast<const char*>(data), size)
                                       : QByteArrayView();
}

// Room PutText may take for a text: a length of up to five bytes, and up to three bytes of
// UTF-8 a unit.
qsizetype RoomForText(QStringView text) {
    return 5 + 3 * text.size();
}

// Writes a text as EncodeTexts stores it at `out` (RoomForText bytes free) and returns its
// end: its length in UTF-8 bytes (seven bits a byte, the low ones first, the top bit set on all
// but the last: one byte for most texts), then UTF-8.
char* PutText(char* out, QStringView text) {
    const qsizetype size = text.size();
    const char16_t* units = text.utf16();
    if (size < 0x80) {
        // Nearly every tag text is short ASCII: one length byte, then its units as bytes
        // (looked at four at a time).
        qsizetype k = 0;
        for (; k + 4 <= size; k += 4) {
            uint64_t four = 0;
            std::memcpy(&four, units + k, sizeof four);
            if ((four & 0xFF80FF80FF80FF80u) != 0)
                break;
            out[1 + k] = static_cast<char>(units[k]);
            out[2 + k] = static_cast<char>(units[k + 1]);
            out[3 + k] = static_cast<char>(units[k + 2]);
            out[4 + k] = static_cast<char>(units[k + 3]);
        }
        for (; k < size && units[k] < 0x80; ++k)
            out[1 + k] = static_cast<char>(units[k]);
        if (k == size) {
            out[0] = static_cast<char>(size);
            return out + 1 + size;
        }
    }
    const QByteArray utf8 = text.toUtf8();
    auto length = static_cast<uint32_t>(utf8.size());
    while (length >= 0x80) {
        *out++ = static_cast<char>(0x80 | (length & 0x7f));
        length >>= 7;
    }
    *out++ = static_cast<char>(length);
    if (!utf8.isEmpty())
        std::memcpy(out, utf8.constData(), static_cast<size_t>(utf8.size()));
    return out + utf8.size();
}

// Reads a length PutText wrote at `at` (moved past it); false when the bytes end first or
// it is longer than what follows.
bool ReadLongLength(const char* bytes, qsizetype size, qsizetype& at, uint32_t& length);

inline bool ReadLength(const char* bytes, qsizetype size, qsizetype& at, uint32_t& length) {
    if (at < size && static_cast<unsigned char>(bytes[at]) < 0x80) { // one byte: most texts
        length = static_cast<unsigned char>(bytes[at++]);
        return length <= static_cast<uint64_t>(size - at);
    }
    return ReadLongLength(bytes, size, at, length);
}

bool ReadLongLength(const char* bytes, qsizetype size, qsizetype& at, uint32_t& length) {
    length = 0;
    for (int shift = 0; shift < 32; shift += 7) {
        if (at >= size)
            return false;
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        if (shift == 28 && (byte & 0x70) != 0)
            return false; // more than 32 bits
        length |= static_cast<uint32_t>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0)
            return length <= static_cast<uint64_t>(size - at);
    }
    return false;
}

// Eight bytes as eight UTF-16 units (right for ASCII); returns the bytes as a word, so the
// caller can tell whether they were.
inline uint64_t WidenEight(const char* in, char16_t* out) {
    const auto word = qFromLittleEndian<uint64_t>(in); // the first byte lowest
#if defined(__SSE2__)
    const __m128i bytes = _mm_cvtsi64_si128(static_cast<long long>(word));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
#else
    for (int k = 0; k < 8; ++k)
        out[k] = static_cast<unsigned char>(in[k]);
#endif
    return word;
}

QByteArray ColumnBlob(sqlite3_stmt* statement, int n) {
    const void* data = sqlite3_column_blob(statement, n);
    const int size = sqlite3_column_bytes(statement, n);
    return data != nullptr && size > 0 ? QByteArray(static_cast<const char*>(data), size)
                                       : QByteArray();
}

} // namespace

TTagCache::TTagCache(QString file) : Path(std::move(file)) {}

TTagCache::~TTagCache() {
    if (Writer.joinable()) {
        {
            std::lock_guard<std::mutex> queue(QueueLock);
            Ending = true;
        }
        QueueWake.notify_all();
        Writer.join();
    }
    std::lock_guard<std::mutex> lock(DbLock);
    Close();
}

QString TTagCache::DefaultFile() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/cuemark/cache.sqlite");
}

bool TTagCache::TurnedOffByEnvironment() {
    return qEnvironmentVariable("CUEMARK_NO_CACHE") == QStringLiteral("1");
}

std::shared_ptr<TTagCache> TTagCache::Open(const QString& file) {
    std::shared_ptr<TTagCache> cache(new TTagCache(file));
    {
        std::lock_guard<std::mutex> lock(cache->DbLock);
        if (!cache->Start())
            return nullptr;
    }
    cache->Writer = std::thread([raw = cache.get()] { raw->WriterLoop(); });
    return cache;
}

std::shared_ptr<TTagCache> TTagCache::Shared() {
    static std::mutex guard;
    static std::shared_ptr<TTagCache> shared;
    static bool tried = false;
    std::lock_guard<std::mutex> lock(guard);
    if (!tried) {
        tried = true;
        if (!TurnedOffByEnvironment())
            shared = Open(DefaultFile());
    }
    return shared;
}

bool TTagCache::Start() {
    bool damaged = false;
    if (StartOnce(damaged))
        return true;
    if (!damaged)
        return false;
    // A damaged or foreign cache holds nothing worth keeping: set it aside and begin anew.
    SetAside("it is damaged or was written by another version");
    damaged = false;
    return StartOnce(damaged);
}

bool TTagCache::StartOnce(bool& damaged) {
    const QString folder = QFileInfo(Path).absolutePath();
    if (!QDir().mkpath(folder)) {
        Warn(QStringLiteral("the tag cache folder \"%1\" cannot be made: running without it")
                 .arg(folder));
        return false;
    }
    // One thread at a time uses the connection (DbLock), so SQLite's own locking of it is
    // left out: it would be taken again for every column of every row read.
    const int opened =
        sqlite3_open_v2(QFile::encodeName(Path).constData(), &Db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        Warn(QStringLiteral("the tag cache \"%1\" cannot be opened (%2): running without it")
                 .arg(Path, QString::fromUtf8(sqlite3_errstr(opened))));
        Close();
        return false;
    }
    sqlite3_busy_timeout(Db, BusyTimeoutMs);
    ::chmod(QFile::encodeName(Path).constData(), S_IRUSR | S_IWUSR);

    // The file's marks: a new file has none and no tables.
    int applicationId = -1;
    int version = -1;
    int tables = -1;
    auto readInt = [this](const char* sql, int& value) {
        sqlite3_stmt* statement = nullptr;
        int code = sqlite3_prepare_v2(Db, sql, -1, &statement, nullptr);
        if (code == SQLITE_OK) {
            code = sqlite3_step(statement);
            if (code == SQLITE_ROW) {
                value = sqlite3_column_int(statement, 0);
                code = SQLITE_OK;
            }
        }
        sqlite3_finalize(statement);
        return code;
    };
    int code = readInt("PRAGMA application_id", applicationId);
    if (code == SQLITE_OK)
        code = readInt("PRAGMA user_version", version);
    if (code == SQLITE_OK)
        code = readInt("SELECT count(*) FROM sqlite_master", tables);
    if (code != SQLITE_OK) {
        damaged = IsDamage(code);
        if (!damaged)
            Warn(QStringLiteral("the tag cache \"%1\" cannot be read (%2): running without it")
                     .arg(Path, QString::fromUtf8(sqlite3_errmsg(Db))));
        Close();
        return false;
    }
    const bool fresh = applicationId == 0 && version == 0 && tables == 0;
    const bool older =
        applicationId == ApplicationId && version >= FirstOlderVersion && version < SchemaVersion;
    if (!fresh && !older && (applicationId != ApplicationId || version != SchemaVersion)) {
        damaged = true;
        Close();
        return false;
    }

    Journal = OnNetworkFileSystem(folder) ? QStringLiteral("delete") : QStringLiteral("wal");
    const QByteArray journal = "PRAGMA journal_mode=" + Journal.toLatin1();
    const QByteArray marks = "PRAGMA application_id=" + QByteArray::number(ApplicationId) +
                             ";PRAGMA user_version=" + QByteArray::number(SchemaVersion);
    // Locally the file is mapped, so a folder's rows are read without a call per page.
    const char* mapping =
        Journal == QStringLiteral("wal") ? "PRAGMA mmap_size=268435456" : "PRAGMA mmap_size=0";
    // A new file is made without waiting for the disk (a crash meanwhile leaves a file that
    // is set aside or found empty next time); its rows are then written with the usual care.
    if (!Exec(fresh ? "PRAGMA synchronous=OFF" : "PRAGMA synchronous=NORMAL") ||
        !Exec(journal.constData()) || !Exec(mapping) ||
        (older && !Exec("DROP TABLE IF EXISTS files")) || !Exec(Schema) ||
        ((fresh || older) && !Exec(marks.constData())) ||
        (fresh && !Exec("PRAGMA synchronous=NORMAL"))) {
        damaged = IsDamage(sqlite3_extended_errcode(Db));
        if (!damaged)
            Warn(QStringLiteral("the tag cache \"%1\" cannot be written (%2): running without it")
                     .arg(Path, QString::fromUtf8(sqlite3_errmsg(Db))));
        Close();
        return false;
    }
    const bool prepared =
        sqlite3_prepare_v3(Db, "DELETE FROM analysis WHERE folder = ?1 AND name = ?2", -1,
                           SQLITE_PREPARE_PERSISTENT, &DeleteAnalysis, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v3(Db,
                           "SELECT name, row FROM files"
                           " WHERE folder = (SELECT id FROM folders WHERE path = ?1)",
                           -1, SQLITE_PREPARE_PERSISTENT, &SelectFolder, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v3(Db, UpsertSql, -1, SQLITE_PREPARE_PERSISTENT, &Upsert, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v3(Db,
                           "DELETE FROM files"
                           " WHERE folder = (SELECT id FROM folders WHERE path = ?1) AND name = ?2",
                           -1, SQLITE_PREPARE_PERSISTENT, &Delete, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v3(Db, "INSERT OR IGNORE INTO folders(path) VALUES(?1)", -1,
                           SQLITE_PREPARE_PERSISTENT, &InsertFolder, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v3(Db, "SELECT id FROM folders WHERE path = ?1", -1,
                           SQLITE_PREPARE_PERSISTENT, &SelectFolderId, nullptr) == SQLITE_OK;
    if (!prepared) {
        damaged = IsDamage(sqlite3_extended_errcode(Db));
        Close();
        return false;
    }
    Working = true;
    return true;
}

bool TTagCache::Exec(const char* sql) {
    return sqlite3_exec(Db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void TTagCache::Close() {
    Working = false;
    FolderIds.clear();
    for (sqlite3_stmt** statement :
         {&SelectFolder, &Upsert, &Delete, &DeleteAnalysis, &InsertFolder, &SelectFolderId}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    if (Db != nullptr)
        sqlite3_close_v2(Db);
    Db = nullptr;
}

void TTagCache::SetAside(const char* why) {
    Close();
    const QByteArray path = QFile::encodeName(Path);
    const QByteArray aside = path + ".broken";
    if (::rename(path.constData(), aside.constData()) != 0)
        ::unlink(path.constData());
    // The journal files belong to the old file.
    ::unlink((path + "-wal").constData());
    ::unlink((path + "-shm").constData());
    ::unlink((path + "-journal").constData());
    Warn(QStringLiteral("the tag cache \"%1\" was set aside as \"%1.broken\" (%2) and starts anew")
             .arg(Path, QString::fromUtf8(why)));
}

void TTagCache::Stop(const char* what, int code) {
    if (Db == nullptr)
        return;
    if (IsDamage(code)) {
        SetAside("it is damaged");
        bool damaged = false;
        if (!StartOnce(damaged))
            Close();
        return;
    }
    // Another process holding the file too long costs this batch only.
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        return;
    Warn(QStringLiteral("the tag cache \"%1\" failed while %2 (%3): running without it")
             .arg(Path, QString::fromUtf8(what), QString::fromUtf8(sqlite3_errstr(code))));
    Close();
}

TTagCache::TFolderRows TTagCache::FolderRows(const QByteArray& folder, size_t expected) {
    WaitWritten();
    std::lock_guard<std::mutex> lock(DbLock);
    TFolderRows rows;
    if (Db == nullptr)
        return rows;
    rows.Slots.reserve(expected);
    sqlite3_reset(SelectFolder);
    BindBlob(SelectFolder, 1, folder);
    int code = SQLITE_OK;
    while ((code = sqlite3_step(SelectFolder)) == SQLITE_ROW) {
        TFolderRows::TSlot slot;
        QByteArrayView texts;
        if (ParseRow(ColumnView(SelectFolder, 1), slot.Stamp, slot.Columns, slot.ReadFailed, texts))
            rows.Add(ColumnView(SelectFolder, 0), slot, texts);
    }
    sqlite3_reset(SelectFolder);
    sqlite3_clear_bindings(SelectFolder);
    if (code != SQLITE_DONE) {
        rows.clear();
        Stop("reading a folder", code);
        return rows;
    }
    rows.Live = rows.Slots.size();
    return rows;
}

void TTagCache::TFolderRows::Add(QByteArrayView name, const TSlot& slot, QByteArrayView texts) {
    const size_t size = static_cast<size_t>(name.size() + texts.size());
    if (size > FreeSize) {
        constexpr size_t PieceSize = 64 * 1024;
        const size_t piece = std::max(size, PieceSize);
        Pieces.push_back(std::make_unique_for_overwrite<char[]>(piece));
        Free = Pieces.back().get();
        FreeSize = piece;
    }
    TSlot& added = Slots.emplace_back(slot);
    added.Bytes = Free;
    added.NameSize = static_cast<int>(name.size());
    added.TextsSize = static_cast<int>(texts.size());
    if (!name.isEmpty())
        std::memcpy(Free, name.data(), static_cast<size_t>(name.size()));
    if (!texts.isEmpty())
        std::memcpy(Free + name.size(), texts.data(), static_cast<size_t>(texts.size()));
    Free += size;
    FreeSize -= size;
}

void TTagCache::TFolderRows::BuildIndex() const {
    size_t places = 16;
    while (places < Slots.size() * 2)
        places *= 2;
    Index.assign(places, -1);
    // One query gives a name once (it is the key).
    for (int n = 0; n < static_cast<int>(Slots.size()); ++n) {
        size_t at = qHash(Name(n)) & (places - 1);
        while (Index[at] >= 0)
            at = (at + 1) & (places - 1);
        Index[at] = n;
    }
}

int TTagCache::TFolderRows::Find(QByteArrayView name) const {
    if (Slots.empty())
        return -1;
    // A list asks for its rows mostly in the order the query gave them (names in byte
    // order): the place after the last one found is tried first, the index after that.
    const size_t guess = Next < Slots.size() ? Next : 0;
    int found = -1;
    if (Name(static_cast<int>(guess)) == name) {
        found = static_cast<int>(guess);
    } else {
        if (Index.empty())
            BuildIndex();
        const size_t mask = Index.size() - 1;
        for (size_t at = qHash(name) & mask; Index[at] >= 0; at = (at + 1) & mask) {
            if (Name(Index[at]) == name) {
                found = Index[at];
                break;
            }
        }
        if (found < 0)
            return -1;
    }
    Next = static_cast<size_t>(found) + 1;
    return Slots[static_cast<size_t>(found)].Erased ? -1 : found;
}

QByteArrayView TTagCache::TFolderRows::Name(int index) const {
    const TSlot& slot = Slots[static_cast<size_t>(index)];
    return QByteArrayView(slot.Bytes, slot.NameSize);
}

TTagCache::TRow TTagCache::TFolderRows::Row(int index) const {
    const TSlot& slot = Slots[static_cast<size_t>(index)];
    TRow row;
    row.Stamp = slot.Stamp;
    row.Columns = slot.Columns;
    row.ReadFailed = slot.ReadFailed;
    row.Texts = QByteArray::fromRawData(slot.Bytes + slot.NameSize, slot.TextsSize);
    return row;
}

bool TTagCache::TFolderRows::IsErased(int index) const {
    return Slots[static_cast<size_t>(index)].Erased;
}

void TTagCache::TFolderRows::Erase(int index) {
    TSlot& slot = Slots[static_cast<size_t>(index)];
    if (slot.Erased)
        return;
    slot.Erased = true;
    // The last row used: its bytes are not kept for the rest of the list's life.
    if (--Live == 0)
        clear();
}

void TTagCache::TFolderRows::clear() {
    // Their room too: a list keeps its (empty) rows for as long as it shows the folder.
    Pieces = decltype(Pieces)();
    Free = nullptr;
    FreeSize = 0;
    Slots = decltype(Slots)();
    Index = decltype(Index)();
    Next = 0;
    Live = 0;
}

TTagCache::TFolderRows::const_iterator::const_iterator(const TFolderRows* rows, int index)
    : Rows(rows), Index(index) {
    while (Index < static_cast<int>(Rows->Slots.size()) && Rows->IsErased(Index))
        ++Index;
}

std::pair<QByteArray, TTagCache::TRow> TTagCache::TFolderRows::const_iterator::operator*() const {
    const QByteArrayView name = Rows->Name(Index);
    return {QByteArray::fromRawData(name.data(), name.size()), Rows->Row(Index)};
}

TTagCache::TFolderRows::const_iterator& TTagCache::TFolderRows::const_iterator::operator++() {
    *this = const_iterator(Rows, Index + 1);
    return *this;
}

void TTagCache::Put(const QByteArray& folder, const QByteArray& name, TRow row) {
    if (!Working)
        return;
    std::lock_guard<std::mutex> queue(QueueLock);
    Queue.push_back({folder, name, std::move(row)});
    if (Queue.size() >= PendingLimit) {
        FlushWanted = true;
        QueueWake.notify_one();
    }
}

void TTagCache::Flush() {
    std::lock_guard<std::mutex> queue(QueueLock);
    if (Queue.empty())
        return;
    FlushWanted = true;
    QueueWake.notify_one();
}

void TTagCache::WaitWritten() {
    std::unique_lock<std::mutex> queue(QueueLock);
    if (!Writer.joinable())
        return;
    if (!Queue.empty()) {
        FlushWanted = true;
        QueueWake.notify_one();
    }
    QueueIdle.wait(queue, [this] { return Queue.empty() && !Writing; });
}

void TTagCache::WriterLoop() {
    std::unique_lock<std::mutex> queue(QueueLock);
    for (;;) {
        QueueWake.wait(queue, [this] { return Ending || (FlushWanted && !Queue.empty()); });
        if (Queue.empty()) {
            if (Ending)
                return;
            continue;
        }
        std::vector<TPending> rows;
        rows.swap(Queue);
        Queue.reserve(PendingLimit);
        FlushWanted = false;
        Writing = true;
        queue.unlock();
        {
            std::lock_guard<std::mutex> lock(DbLock);
            Write(rows);
        }
        queue.lock();
        Writing = false;
        QueueIdle.notify_all();
    }
}

void TTagCache::Write(const std::vector<TPending>& rows) {
    if (Db == nullptr)
        return;
    int code = sqlite3_exec(Db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        Stop("starting a write", sqlite3_extended_errcode(Db));
        return;
    }
    QByteArray bytes;
    const QByteArray* lastFolder = nullptr;
    int64_t folderId = 0;
    code = SQLITE_DONE;
    for (const TPending& pending : rows) {
        // The rows of a pass are of one folder, one after another.
        if (lastFolder == nullptr || pending.Folder != *lastFolder) {
            folderId = FolderIdOf(pending.Folder, code);
            if (folderId == 0)
                break;
            lastFolder = &pending.Folder;
        }
        sqlite3_reset(Upsert);
        sqlite3_bind_int64(Upsert, 1, folderId);
        BindBlob(Upsert, 2, pending.Name, true);
        RowBytes(pending.Row, bytes);
        BindBlob(Upsert, 3, bytes, true); // read by the step below, before the next row
        code = sqlite3_step(Upsert);
        if (code != SQLITE_DONE)
            break;
    }
    sqlite3_reset(Upsert);
    sqlite3_clear_bindings(Upsert); // the rows' bytes go with `rows`
    if (code != SQLITE_DONE || !Exec("COMMIT")) {
        const int failed = sqlite3_extended_errcode(Db);
        Exec("ROLLBACK");
        Stop("writing", failed);
    }
}

int64_t TTagCache::FolderIdOf(const QByteArray& folder, int& code) {
    if (const auto known = FolderIds.find(folder); known != FolderIds.end())
        return known->second;
    sqlite3_reset(InsertFolder);
    BindBlob(InsertFolder, 1, folder);
    code = sqlite3_step(InsertFolder);
    sqlite3_reset(InsertFolder);
    if (code != SQLITE_DONE)
        return 0;
    sqlite3_reset(SelectFolderId);
    BindBlob(SelectFolderId, 1, folder);
    code = sqlite3_step(SelectFolderId);
    int64_t id = 0;
    if (code == SQLITE_ROW) {
        id = sqlite3_column_int64(SelectFolderId, 0);
        code = SQLITE_DONE;
    } else if (code == SQLITE_DONE) {
        code = SQLITE_ERROR; // not there though just added
    }
    sqlite3_reset(SelectFolderId);
    // A write that fails stops the connection, which forgets the ids met in it.
    if (id != 0)
        FolderIds.emplace(folder, id);
    return id;
}

void TTagCache::Forget(const QByteArray& folder, const std::vector<QByteArray>& names,
                       bool analysesToo) {
    if (names.empty() || !Working)
        return;
    WaitWritten();
    std::lock_guard<std::mutex> lock(DbLock);
    if (Db == nullptr || !Exec("BEGIN IMMEDIATE")) {
        if (Db != nullptr)
            Stop("starting a write", sqlite3_extended_errcode(Db));
        return;
    }
    int code = SQLITE_DONE;
    for (const QByteArray& name : names) {
        for (sqlite3_stmt* statement : {Delete, DeleteAnalysis}) {
            if (statement == DeleteAnalysis && !analysesToo)
                continue;
            sqlite3_reset(statement);
            BindBlob(statement, 1, folder);
            BindBlob(statement, 2, name);
            code = sqlite3_step(statement);
            if (code != SQLITE_DONE)
                break;
        }
        if (code != SQLITE_DONE)
            break;
    }
    sqlite3_reset(Delete);
    sqlite3_reset(DeleteAnalysis);
    if (code != SQLITE_DONE || !Exec("COMMIT")) {
        const int failed = sqlite3_extended_errcode(Db);
        Exec("ROLLBACK");
        Stop("dropping rows", failed);
    }
}

void TTagCache::PutAnalysis(const QByteArray& folder, const QByteArray& name,
                            const QByteArray& kind, const TFileStamp& stamp,
                            const QByteArray& data) {
    if (!Working)
        return;
    WaitWritten();
    std::lock_guard<std::mutex> lock(DbLock);
    if (Db == nullptr)
        return;
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(
        Db,
        "INSERT OR REPLACE INTO analysis(folder, name, kind, size, mtime_ns, ctime_ns, inode,"
        " data) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
        -1, &statement, nullptr);
    if (code == SQLITE_OK) {
        BindAnalysisKey(statement, folder, name, kind, stamp);
        BindBlob(statement, 8, data);
        code = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE)
        Stop("writing an analysis", sqlite3_extended_errcode(Db));
}

std::optional<QByteArray> TTagCache::Analysis(const QByteArray& folder, const QByteArray& name,
                                              const QByteArray& kind, const TFileStamp& stamp) {
    if (!Working)
        return std::nullopt;
    WaitWritten();
    std::lock_guard<std::mutex> lock(DbLock);
    if (Db == nullptr)
        return std::nullopt;
    sqlite3_stmt* statement = nullptr;
    std::optional<QByteArray> found;
    int code = sqlite3_prepare_v2(Db,
                                  "SELECT data FROM analysis WHERE folder = ?1 AND name = ?2"
                                  " AND kind = ?3 AND size = ?4 AND mtime_ns = ?5"
                                  " AND ctime_ns = ?6 AND inode = ?7",
                                  -1, &statement, nullptr);
    if (code == SQLITE_OK) {
        BindAnalysisKey(statement, folder, name, kind, stamp);
        code = sqlite3_step(statement);
        if (code == SQLITE_ROW) {
            found = ColumnBlob(statement, 0);
            code = SQLITE_DONE;
        }
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) {
        Stop("reading an analysis", sqlite3_extended_errcode(Db));
        return std::nullopt;
    }
    return found;
}

TTagCache::TFolderAnalyses TTagCache::FolderAnalyses(const QByteArray& folder,
                                                     const QByteArray& kind) {
    TFolderAnalyses found;
    if (!Working)
        return found;
    WaitWritten();
    std::lock_guard<std::mutex> lock(DbLock);
    if (Db == nullptr)
        return found;
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(Db,
                                  "SELECT name, size, mtime_ns, ctime_ns, inode, data FROM analysis"
                                  " WHERE folder = ?1 AND kind = ?2",
                                  -1, &statement, nullptr);
    if (code == SQLITE_OK) {
        BindBlob(statement, 1, folder);
        sqlite3_bind_text(statement, 2, kind.constData(), static_cast<int>(kind.size()),
                          SQLITE_TRANSIENT);
        while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
            found.insert_or_assign(
                ColumnBlob(statement, 0),
                TStampedData{ColumnStamp(statement, 1), ColumnBlob(statement, 5)});
        }
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) {
        found.clear();
        Stop("reading a folder's analyses", sqlite3_extended_errcode(Db));
    }
    return found;
}

void TTagCache::RestampAnalyses(const QByteArray& path, const TFileStamp& before,
                                const TFileStamp& after) {
    QByteArray folder, name;
    if (!Working || !before.IsKnown() || !after.IsKnown() || before == after ||
        !SplitPath(path, folder, name))
        return;
    WaitWritten();
    std::lock_guard<std::mutex> lock(DbLock);
    if (Db == nullptr)
        return;
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(
        Db,
        "UPDATE analysis SET size = ?7, mtime_ns = ?8, ctime_ns = ?9, inode = ?10"
        " WHERE folder = ?1 AND name = ?2 AND size = ?3 AND mtime_ns = ?4 AND ctime_ns = ?5"
        " AND inode = ?6",
        -1, &statement, nullptr);
    if (code == SQLITE_OK) {
        BindBlob(statement, 1, folder);
        BindBlob(statement, 2, name);
        BindStamp(statement, 3, before);
        BindStamp(statement, 7, after);
        code = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE)
        Stop("moving analyses to a new stamp", sqlite3_extended_errcode(Db));
}

TFileStamp TTagCache::StampOf(const QByteArray& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return {};
    return TFileStamp::Of(st);
}

TFileStamp TFileStamp::Of(const struct stat& st) {
    TFileStamp stamp;
    stamp.Size = static_cast<int64_t>(st.st_size);
    stamp.MtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.CtimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    stamp.Inode = static_cast<uint64_t>(st.st_ino);
    return stamp;
}

void TTagCache::ForgetPath(const QByteArray& path) {
    QByteArray folder, name;
    if (SplitPath(path, folder, name))
        Forget(folder, {name});
}

std::optional<QByteArray> TTagCache::AnalysisOfPath(const QByteArray& path,
                                                    const QByteArray& kind) {
    QByteArray folder, name;
    if (!SplitPath(path, folder, name))
        return std::nullopt;
    return Analysis(folder, name, kind, StampOf(path));
}

void TTagCache::PutAnalysisOfPath(const QByteArray& path, const QByteArray& kind,
                                  const QByteArray& data) {
    PutAnalysisOfPath(path, kind, StampOf(path), data);
}

void TTagCache::PutAnalysisOfPath(const QByteArray& path, const QByteArray& kind,
                                  const TFileStamp& stamp, const QByteArray& data) {
    QByteArray folder, name;
    if (SplitPath(path, folder, name))
        PutAnalysis(folder, name, kind, stamp, data);
}

TTagCache::TRow TTagCache::RowOf(const TShellItem& entry, const TFileStamp& stamp,
                                 uint64_t columns) {
    TRow row;
    row.Stamp = stamp;
    row.Columns = columns;
    row.ReadFailed = entry.ReadFailed;
    QStringView texts[TShellItem::ValueCount];
    const int count = entry.ValueViews(columns, texts);
    qsizetype room = 0;
    for (int i = 0; i < count; ++i)
        room += RoomForText(texts[i]);
    // Built in a buffer kept by the thread, then copied once: one allocation a row.
    thread_local std::vector<char> buffer;
    if (buffer.size() < static_cast<size_t>(room))
        buffer.resize(static_cast<size_t>(room));
    char* end = buffer.data();
    for (int i = 0; i < count; ++i)
        end = PutText(end, texts[i]);
    row.Texts = QByteArray(buffer.data(), end - buffer.data());
    return row;
}

bool TTagCache::Apply(const TRow& row, TShellItem& entry) {
    const uint64_t valid = ((uint64_t{1} << (TShellItem::ValueCount + 1)) - 1) & ~uint64_t{1};
    if ((row.Columns & ~valid) != 0)
        return false;
    const int count = std::popcount(row.Columns);
    const char* bytes = row.Texts.constData();
    const qsizetype size = row.Texts.size();
    // Nearly every row is ASCII: its bytes are widened as they are met (eight at a time, the
    // room past the last making up for a short end) and handed to the entry in one copy.
    QVarLengthArray<char16_t, 1024> units(size + 8);
    uint32_t ends[TShellItem::ValueCount];
    uint64_t shown = 0;
    uint64_t columns = row.Columns;
    int shownCount = 0;
    uint32_t end = 0;
    uint64_t high = 0; // the bytes' top bits
    qsizetype at = 0;
    for (int i = 0; i < count; ++i, columns &= columns - 1) {
        uint32_t length = 0;
        if (!ReadLength(bytes, size, at, length))
            return false;
        if (length == 0)
            continue;
        const char* text = bytes + at;
        char16_t* out = units.data() + end;
        uint32_t k = 0;
        for (; k + 8 <= length; k += 8)
            high |= WidenEight(text + k, out + k);
        if (k < length) {
            if (at + k + 8 <= size) {
                uint64_t word = WidenEight(text + k, out + k);
                high |= word & (~uint64_t{0} >> (8 * (8 - (length - k))));
            } else {
                for (; k < length; ++k) {
                    out[k] = static_cast<unsigned char>(text[k]);
                    high |= static_cast<unsigned char>(text[k]);
                }
            }
        }
        shown |= columns & (~columns + 1); // the lowest column left
        end += length;
        ends[shownCount++] = end;
        at += length;
    }
    if (at != size)
        return false;
    if ((high & 0x8080808080808080u) == 0 && (entry.ValueColumns() & ~row.Columns) == 0) {
        entry.ReplaceValues(shown, ends, units.constData());
    } else {
        // Decoded as DecodeTexts does, invalid sequences included (UTF-8 never takes fewer
        // bytes than UTF-16 takes units), and handed to the entry at once.
        QStringView views[TShellItem::ValueCount];
        qsizetype used = 0;
        at = 0;
        for (int i = 0; i < count; ++i) {
            uint32_t length = 0;
            ReadLength(bytes, size, at, length);
            const QString decoded = QString::fromUtf8(bytes + at, length);
            if (decoded.size() > static_cast<qsizetype>(length))
                return false;
            char16_t* out = units.data() + used;
            if (!decoded.isEmpty())
                std::memcpy(out, decoded.utf16(), static_cast<size_t>(decoded.size()) * 2);
            views[i] = QStringView(out, decoded.size());
            used += decoded.size();
            at += length;
        }
        entry.SetValues(row.Columns, views);
    }
    entry.ReadFailed = row.ReadFailed;
    return true;
}

// Each text as its length and its UTF-8 bytes (see PutText).
QByteArray TTagCache::EncodeTexts(const std::vector<QString>& texts) {
    qsizetype room = 0;
    for (const QString& text : texts)
        room += RoomForText(text);
    QByteArray bytes(room, Qt::Uninitialized);
    char* end = bytes.data();
    for (const QString& text : texts)
        end = PutText(end, text);
    bytes.truncate(end - bytes.data());
    return bytes;
}

bool TTagCache::DecodeTexts(const QByteArray& bytes, int count, std::vector<QString>& texts) {
    texts.clear();
    qsizetype at = 0;
    for (int i = 0; i < count; ++i) {
        uint32_t size = 0;
        if (!ReadLength(bytes.constData(), bytes.size(), at, size))
            return false;
        texts.push_back(QString::fromUtf8(bytes.constData() + at, static_cast<qsizetype>(size)));
        at += size;
    }
    return at == bytes.size();
}
