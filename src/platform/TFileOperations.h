#pragma once

#include "TFileSystemCalls.h"
#include "TTransferMode.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <functional>

// One failed step of a file operation: the item, what was being done and the system's reason.
struct TFileOpError {
    enum class TStep { Copy, Move, Trash, Rename, RemoveOriginal };
    TStep Step = TStep::Copy;
    QByteArray Path;   // the item the user handed over (a top-level source)
    QByteArray Detail; // the file inside it that failed, when it is not Path itself
    QByteArray Target; // the folder a copy or move was going to
    int Errno = 0;

    // The system's text for Errno ("No space left on device").
    QString SystemText() const;
};

// How far an operation has got; the callback returns false to cancel.
struct TFileOpProgress {
    int64_t BytesDone = 0;
    int64_t BytesTotal = 0;
    int ItemsDone = 0;
    int ItemsTotal = 0;
    QByteArray Current; // the top-level item being worked on
};

struct TFileOpResult {
    QList<QPair<QByteArray, QByteArray>> Done; // (source, where it is now); target empty for trash
    QList<TFileOpError> Errors;
    bool Cancelled = false;

    bool Ok() const { return Errors.isEmpty() && !Cancelled; }
};

// Copy, move, trash and rename on raw-byte paths, with what a desktop file manager promises:
//  - a move within one file system is a rename; across file systems the item is copied, every
//    copied file synced to the device, and only then the original removed, so a failure or a
//    cancel at any point leaves the original whole (and removes the partial copy);
//  - a copy is written under a hidden temporary name and renamed into place only when complete
//    and synced, so a killed process never leaves a truncated item under the real name; such
//    leftovers of a process that is gone are removed at the next operation in that folder;
//  - an arriving item whose name is taken gets a free name like "take (2).wav"; nothing is
//    ever overwritten (targets are created exclusively);
//  - a rename never replaces another item;
//  - a folder is never copied or moved into itself.
// Works through TFileSystemCalls so tests can simulate other devices and failures. No widgets:
// the caller shows progress and errors (TFileOperationUi in the shell).
class TFileOperations {
public:
    // Asked after each failed top-level item while more remain: true goes on with the rest.
    using TErrorHandler = std::function<bool(const TFileOpError&)>;
    using TProgressHandler = std::function<bool(const TFileOpProgress&)>;

    explicit TFileOperations(TFileSystemCalls& calls = TFileSystemCalls::Native());

    void SetProgressHandler(TProgressHandler handler) { OnProgress = std::move(handler); }
    // Without a handler the operation stops at the first failure.
    void SetErrorHandler(TErrorHandler handler) { OnError = std::move(handler); }

    // Copies or moves each source into targetDir. A move of an item that already lies in
    // targetDir does nothing.
    TFileOpResult Transfer(const QList<QByteArray>& sources, const QByteArray& targetDir,
                           TTransferMode mode);
    // Moves each item to the freedesktop Trash.
    TFileOpResult Trash(const QList<QByteArray>& paths);

    enum class TRenameOutcome { Renamed, Unchanged, NameTaken, InvalidName, Failed };
    struct TRenameResult {
        TRenameOutcome Outcome = TRenameOutcome::Failed;
        QByteArray NewPath;
        int Errno = 0;
    };
    // Gives the item `path` the name `newName` in its own folder. A taken name gives NameTaken
    // and changes nothing; a name with "/" or NUL, "", "." or ".." gives InvalidName.
    TRenameResult Rename(const QByteArray& path, const QByteArray& newName);

    // `name` when no item of that name is in dir, else the first free "base (n).ext" from
    // n = 2 ("take.wav" -> "take (2).wav"; "take (7).wav" -> "take (8).wav"; a folder or a
    // name whose only dot leads keeps the whole name as base).
    QByteArray FreeName(const QByteArray& dir, const QByteArray& name, bool isDir);

    // Path helpers on raw bytes.
    static QByteArray Join(const QByteArray& dir, const QByteArray& name);
    static QByteArray FileName(const QByteArray& path);
    // The folder part without a trailing separator ("/" for an item at the root).
    static QByteArray FolderOf(const QByteArray& path);
    // Repeated separators joined and a trailing one dropped ("/" stays "/").
    static QByteArray Clean(const QByteArray& path);

private:
    bool Report(TFileOpResult& result, const TFileOpError& error, bool moreToDo);
    bool Tick(const QByteArray& current);
    int64_t TreeSize(const QByteArray& path);
    bool IsInside(const QByteArray& dir, const QByteArray& folder);
    // Copies a whole item; on failure fills failedPath.
    // `made` tells whether `to` was created (and must be removed after a failure).
    int CopyTree(const QByteArray& from, const QByteArray& to, QByteArray& failedPath, bool& made);
    int CopyFile(const QByteArray& from, const QByteArray& to, const TFileStatus& status);
    int RemoveTree(const QByteArray& path, QByteArray& failedPath, bool ownCopy);
    // Renames a complete copy to a free form of `name` in target; `to` is where it went.
    int PutInPlace(const QByteArray& partial, const QByteArray& target, const QByteArray& name,
                   bool isDir, QByteArray& to);
    // Removes temporary copies in `folder` left by processes that no longer run.
    void RemoveLeftovers(const QByteArray& folder);

    TFileSystemCalls& Calls;
    TProgressHandler OnProgress;
    TErrorHandler OnError;
    TFileOpProgress Progress;
    bool CancelRequested = false;
};
