#pragma once

#include "TFileStamp.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct stat;
struct sqlite3_stmt;
class TShellItem;

// The persistent cache of what the list reads from audio files (the information columns and
// whether the read failed), kept in an SQLite file shared by every Cuemark process of the
// user. Rows are keyed by the folder's path bytes and the name bytes and are only trusted
// while the file's stamp is unchanged. The cache is never in the way: a damaged or foreign
// file is set aside and rebuilt, a cache that cannot be written is turned off for the
// process, each with one line on standard error. Rows are written by a thread of the
// cache's own, so a pass never waits for the disk.
class TTagCache {
public:
    // One file's cached read: which columns (bit n for column n) and their texts.
    struct TRow {
        TFileStamp Stamp;
        uint64_t Columns = 0;
        bool ReadFailed = false;
        QByteArray Texts; // the columns' texts, encoded by EncodeTexts
    };
    // A folder's rows as one query gave them: their bytes in one block and an index by name,
    // so a folder of many files costs no allocation per row. A row taken from it (Row) holds
    // views into the block, valid while the rows live.
    class TFolderRows {
    public:
        size_t size() const { return Live; }
        bool empty() const { return Live == 0; }
        size_t count(QByteArrayView name) const { return Find(name) >= 0 ? 1 : 0; }
        // The index of a name's row; -1 when there is none (or it was erased).
        int Find(QByteArrayView name) const;
        TRow Row(int index) const;
        QByteArrayView Name(int index) const;
        // Rows are numbered 0..Places()-1 in the order of the query; erased ones stay counted
        // until the last is erased, which frees them all (Places() is then 0).
        int Places() const { return static_cast<int>(Slots.size()); }
        bool IsErased(int index) const;
        void Erase(int index);
        void clear();

        // Iterates the rows left as (name, row) pairs, both views into the block.
        class const_iterator {
        public:
            std::pair<QByteArray, TRow> operator*() const;
            const_iterator& operator++();
            bool operator==(const const_iterator&) const = default;

        private:
            friend class TFolderRows;
            const_iterator(const TFolderRows* rows, int index);
            const TFolderRows* Rows = nullptr;
            int Index = 0;
        };
        const_iterator begin() const { return {this, 0}; }
        const_iterator end() const { return {this, static_cast<int>(Slots.size())}; }

    private:
        friend class TTagCache;
        struct TSlot {
            TFileStamp Stamp;
            uint64_t Columns = 0;
            const char* Bytes = nullptr; // the name, then the texts
            int NameSize = 0;
            int TextsSize = 0;
            bool ReadFailed = false;
            bool Erased = false;
        };
        void Add(QByteArrayView name, const TSlot& slot, QByteArrayView texts);
        void BuildIndex() const;

        // The rows' bytes in pieces that never move (a growing block would copy them all
        // again and again).
        std::vector<std::unique_ptr<char[]>> Pieces;
        char* Free = nullptr;
        size_t FreeSize = 0;
        std::vector<TSlot> Slots;
        // By name, made when first needed: open addressing, -1 for a free place; a power of
        // two long.
        mutable std::vector<int> Index;
        mutable size_t Next = 0; // the place after the last one found
        size_t Live = 0;
    };

    ~TTagCache();
    TTagCache(const TTagCache&) = delete;
    TTagCache& operator=(const TTagCache&) = delete;

    // $XDG_CACHE_HOME/cuemark/cache.sqlite (~/.cache when the variable is unset or relative).
    static QString DefaultFile();
    // CUEMARK_NO_CACHE=1 turns the cache off.
    static bool TurnedOffByEnvironment();
    // The cache in `file` (its folder is made when missing); null, with one line on standard
    // error, when it cannot be used at all.
    static std::shared_ptr<TTagCache> Open(const QString& file);
    // The process's cache at DefaultFile(), opened once; null when turned off or unusable.
    static std::shared_ptr<TTagCache> Shared();

    // Every row of a folder, in one query (after the rows queued so far are written).
    // `expected` (how many files the folder has) only saves growing the result.
    TFolderRows FolderRows(const QByteArray& folder, size_t expected = 0);
    // Queues a file's row (written after the next Flush, or when many are queued).
    void Put(const QByteArray& folder, const QByteArray& name, TRow row);
    // Hands the queued rows to the writer, to be written in one transaction; returns at once.
    void Flush();
    // Returns once every row queued so far is written (or dropped with the cache).
    void WaitWritten();
    // Drops the rows of these names in a folder (files gone, or changed by Cuemark itself),
    // and their analyses unless the files' audio stays what it was (a save of their tags).
    void Forget(const QByteArray& folder, const std::vector<QByteArray>& names,
                bool analysesToo = true);
    // Drops the row of one file path.
    void ForgetPath(const QByteArray& path);

    // Results of an analysis of a file's audio (`kind` names the analysis), written at once
    // and given back only while the file's stamp is the one they were made from.
    void PutAnalysis(const QByteArray& folder, const QByteArray& name, const QByteArray& kind,
                     const TFileStamp& stamp, const QByteArray& data);
    std::optional<QByteArray> Analysis(const QByteArray& folder, const QByteArray& name,
                                       const QByteArray& kind, const TFileStamp& stamp);
    // The same for a file's path, with the file's stamp now.
    std::optional<QByteArray> AnalysisOfPath(const QByteArray& path, const QByteArray& kind);
    void PutAnalysisOfPath(const QByteArray& path, const QByteArray& kind, const QByteArray& data);
    // The same for the file as it was when examined (`stamp`).
    void PutAnalysisOfPath(const QByteArray& path, const QByteArray& kind, const TFileStamp& stamp,
                           const QByteArray& data);
    // Every analysis of one kind in a folder with the stamp it was made from, in one query.
    struct TStampedData {
        TFileStamp Stamp;
        QByteArray Data;
    };
    using TFolderAnalyses = std::unordered_map<QByteArray, TStampedData>;
    TFolderAnalyses FolderAnalyses(const QByteArray& folder, const QByteArray& kind);
    // Carries a file's analyses made from `before` over to `after`: for a save of its tags,
    // which never changes the audio they were made from.
    void RestampAnalyses(const QByteArray& path, const TFileStamp& before, const TFileStamp& after);
    // The stamp of a path now (unknown when it cannot be examined).
    static TFileStamp StampOf(const QByteArray& path);

    // Whether the cache still works (a failed write turns it off for the process).
    bool Usable() const { return Working; }
    const QString& File() const { return Path; }
    // The journal mode chosen ("wal" locally, "delete" on a network file system).
    const QString& JournalMode() const { return Journal; }

    // A row from an entry's values of the columns read (bit n for column n).
    static TRow RowOf(const TShellItem& entry, const TFileStamp& stamp, uint64_t columns);
    // Gives the entry the row's values and failed state; false (entry unchanged) when the
    // row's texts are damaged.
    static bool Apply(const TRow& row, TShellItem& entry);
    static QByteArray EncodeTexts(const std::vector<QString>& texts);
    // False when the bytes do not hold exactly `count` texts.
    static bool DecodeTexts(const QByteArray& bytes, int count, std::vector<QString>& texts);

private:
    struct TPending {
        QByteArray Folder;
        QByteArray Name;
        TRow Row;
    };

    explicit TTagCache(QString file);
    // The connection's work; each runs with DbLock held.
    bool Start();
    bool StartOnce(bool& damaged);
    void SetAside(const char* why);
    void Stop(const char* what, int code);
    void Close();
    bool Exec(const char* sql);
    void Write(const std::vector<TPending>& rows);
    // The id of a folder's path, added when missing; 0 when it cannot be had (`code` tells).
    int64_t FolderIdOf(const QByteArray& folder, int& code);
    void WriterLoop();

    QString Path;
    QString Journal;
    std::mutex DbLock; // the connection and its statements
    sqlite3* Db = nullptr;
    sqlite3_stmt* SelectFolder = nullptr;
    sqlite3_stmt* Upsert = nullptr;
    sqlite3_stmt* Delete = nullptr;
    sqlite3_stmt* DeleteAnalysis = nullptr;
    sqlite3_stmt* InsertFolder = nullptr;
    sqlite3_stmt* SelectFolderId = nullptr;
    // Ids of folders met (a folder's row is never removed, so an id stays right for the
    // connection's life); emptied when the connection closes.
    std::map<QByteArray, int64_t> FolderIds;
    std::atomic<bool> Working{false};

    std::mutex QueueLock; // what follows
    std::condition_variable QueueWake;
    std::condition_variable QueueIdle;
    std::vector<TPending> Queue;
    bool FlushWanted = false;
    bool Writing = false;
    bool Ending = false;
    std::thread Writer;
};
