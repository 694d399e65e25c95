#include "TFileOperations.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int64_t ChunkSize = 1 << 20;
// Attempts at a free name when another program takes the chosen one in between.
constexpr int NameAttempts = 5;

// A copy is made under ".cuemark-PID-N.part" and renamed into place once complete and synced,
// so no half-written item ever carries a real name. The process id tells a leftover of a
// process that died (removed at the next operation in that folder) from work in progress.
constexpr char PartPrefix[] = ".cuemark-";
constexpr char PartSuffix[] = ".part";

QByteArray PartName() {
    static std::atomic<unsigned> sequence{0};
    return PartPrefix + QByteArray::number(qint64(::getpid())) + '-' +
           QByteArray::number(sequence++) + PartSuffix;
}

// The process that made a part name, or 0 when the name is not one of ours.
pid_t PartOwner(const QByteArray& name) {
    if (!name.startsWith(PartPrefix) || !name.endsWith(PartSuffix))
        return 0;
    const QByteArray middle =
        name.mid(qsizetype(sizeof PartPrefix - 1),
                 name.size() - qsizetype(sizeof PartPrefix - 1) - qsizetype(sizeof PartSuffix - 1));
    const qsizetype dash = middle.indexOf('-');
    bool pidOk = false;
    bool sequenceOk = false;
    const qint64 pid = middle.left(dash).toLongLong(&pidOk);
    middle.mid(dash + 1).toUInt(&sequenceOk);
    if (dash <= 0 || !pidOk || !sequenceOk || pid <= 0 || middle.front() == '+')
        return 0;
    return pid_t(pid);
}

} // namespace

QString TFileOpError::SystemText() const {
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(Errno, buffer, sizeof buffer));
}

TFileOperations::TFileOperations(TFileSystemCalls& calls) : Calls(calls) {}

QByteArray TFileOperations::Clean(const QByteArray& path) {
    QByteArray out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && out.endsWith('/'))
            continue;
        out.append(c);
    }
    if (out.size() > 1 && out.endsWith('/'))
        out.chop(1);
    return out;
}

QByteArray TFileOperations::Join(const QByteArray& dir, const QByteArray& name) {
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

QByteArray TFileOperations::FileName(const QByteArray& path) {
    const QByteArray clean = Clean(path);
    return clean.mid(clean.lastIndexOf('/') + 1);
}

QByteArray TFileOperations::FolderOf(const QByteArray& path) {
    const QByteArray clean = Clean(path);
    const qsizetype slash = clean.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : clean.left(slash);
}

QByteArray TFileOperations::FreeName(const QByteArray& dir, const QByteArray& name, bool isDir) {
    TFileStatus status;
    auto taken = [&](const QByteArray& candidate) {
        return Calls.Status(Join(dir, candidate), status) != ENOENT;
    };
    if (!taken(name))
        return name;
    QByteArray base = name;
    QByteArray extension;
    const qsizetype dot = name.lastIndexOf('.');
    if (!isDir && dot > 0) {
        base = name.left(dot);
        extension = name.mid(dot);
    }
    // "take (2)" counts on to "take (3)" instead of becoming "take (2) (2)".
    int first = 2;
    if (base.endsWith(')')) {
        const qsizetype open = base.lastIndexOf(" (");
        if (open > 0) {
            const QByteArray digits = base.mid(open + 2, base.size() - open - 3);
            bool ok = false;
            const int number = digits.toInt(&ok);
            if (ok && !digits.isEmpty() && digits.front() >= '0' && digits.front() <= '9' &&
                number < 1000000) {
                base = base.left(open);
                first = number + 1;
            }
        }
    }
    for (int n = first;; ++n) {
        const QByteArray candidate = base + " (" + QByteArray::number(n) + ")" + extension;
        if (!taken(candidate))
            return candidate;
    }
}

bool TFileOperations::Report(TFileOpResult& result, const TFileOpError& error, bool moreToDo) {
    result.Errors.append(error);
    return moreToDo && OnError && OnError(error);
}

bool TFileOperations::Tick(const QByteArray& current) {
    Progress.Current = current;
    if (OnProgress && !CancelRequested && !OnProgress(Progress))
        CancelRequested = true;
    return !CancelRequested;
}

int64_t TFileOperations::TreeSize(const QByteArray& path) {
    TFileStatus status;
    if (Calls.Status(path, status) != 0)
        return 0;
    if (status.IsRegular())
        return status.Size;
    if (!status.IsDir())
        return 0;
    QList<QByteArray> names;
    Calls.ReadDir(path, names);
    int64_t total = 0;
    for (const QByteArray& name : names)
        total += TreeSize(Join(path, name));
    return total;
}

bool TFileOperations::IsInside(const QByteArray& dir, const QByteArray& folder) {
    QByteArray a;
    QByteArray b;
    if (Calls.Canonical(dir, a) != 0 || Calls.Canonical(folder, b) != 0)
        return false;
    return a == b || a.startsWith(Join(b, ""));
}

int TFileOperations::CopyFile(const QByteArray& from, const QByteArray& to,
                              const TFileStatus& status) {
    int in = -1;
    if (const int rc = Calls.OpenRead(from, in); rc != 0)
        return rc;
    int out = -1;
    if (const int rc = Calls.CreateExclusive(to, 0600, out); rc != 0) {
        Calls.Close(in);
        return rc;
    }
    std::vector<char> buffer(ChunkSize);
    int rc = 0;
    for (;;) {
        int64_t got = 0;
        rc = Calls.Read(in, buffer.data(), ChunkSize, got);
        if (rc != 0 || got == 0)
            break;
        rc = Calls.Write(out, buffer.data(), got);
        if (rc != 0)
            break;
        Progress.BytesDone += got;
        if (!Tick(Progress.Current)) {
            rc = ECANCELED;
            break;
        }
    }
    // The copy counts only once it is on the device: a move removes the original after this.
    if (rc == 0)
        rc = Calls.Sync(out);
    const int closed = Calls.Close(out);
    if (rc == 0)
        rc = closed;
    Calls.Close(in);
    if (rc != 0) {
        Calls.RemoveFile(to);
        return rc;
    }
    // Modes and times are kept where the target file system can hold them.
    Calls.SetMode(to, status.Mode);
    Calls.SetTimes(to, status.Accessed, status.Modified);
    return 0;
}

int TFileOperations::CopyTree(const QByteArray& from, const QByteArray& to, QByteArray& failedPath,
                              bool& made) {
    made = false;
    TFileStatus status;
    if (const int rc = Calls.Status(from, status); rc != 0) {
        failedPath = from;
        return rc;
    }
    if (status.IsRegular()) {
        // CopyFile removes its own partial file.
        const int rc = CopyFile(from, to, status);
        made = rc == 0;
        if (rc != 0)
            failedPath = from;
        return rc;
    }
    if (status.IsSymlink()) {
        QByteArray target;
        int rc = Calls.ReadLink(from, target);
        if (rc == 0)
            rc = Calls.MakeSymlink(target, to);
        made = rc == 0;
        if (rc != 0)
            failedPath = from;
        else
            Calls.SetTimes(to, status.Accessed, status.Modified);
        return rc;
    }
    if (!status.IsDir()) {
        // Devices, pipes and sockets are not copied as their contents.
        failedPath = from;
        return EOPNOTSUPP;
    }
    if (const int rc = Calls.MakeDir(to, 0700); rc != 0) {
        failedPath = to;
        return rc;
    }
    made = true;
    QList<QByteArray> names;
    if (const int rc = Calls.ReadDir(from, names); rc != 0) {
        failedPath = from;
        return rc;
    }
    for (const QByteArray& name : names) {
        bool child = false;
        if (const int rc = CopyTree(Join(from, name), Join(to, name), failedPath, child); rc != 0)
            return rc;
    }
    Calls.SetMode(to, status.Mode);
    Calls.SetTimes(to, status.Accessed, status.Modified);
    if (const int rc = Calls.SyncDir(to); rc != 0) {
        failedPath = to;
        return rc;
    }
    return 0;
}

int TFileOperations::RemoveTree(const QByteArray& path, QByteArray& failedPath, bool ownCopy) {
    TFileStatus status;
    if (const int rc = Calls.Status(path, status); rc != 0) {
        failedPath = path;
        return rc;
    }
    if (status.IsDir()) {
        // A copy of a read-only folder is ours to remove.
        if (ownCopy)
            Calls.SetMode(path, 0700);
        QList<QByteArray> names;
        int rc = Calls.ReadDir(path, names);
        for (const QByteArray& name : names)
            if (rc == 0)
                rc = RemoveTree(Join(path, name), failedPath, ownCopy);
        if (rc == 0)
            rc = Calls.RemoveDir(path);
        if (rc != 0 && failedPath.isEmpty())
            failedPath = path;
        return rc;
    }
    const int rc = Calls.RemoveFile(path);
    if (rc != 0)
        failedPath = path;
    return rc;
}

TFileOpResult TFileOperations::Transfer(const QList<QByteArray>& sources,
                                        const QByteArray& targetDir, TTransferMode mode) {
    TFileOpResult result;
    const TFileOpError::TStep step =
        mode == TTransferMode::Move ? TFileOpError::TStep::Move : TFileOpError::TStep::Copy;
    Progress = TFileOpProgress{};
    CancelRequested = false;
    Progress.ItemsTotal = int(sources.size());
    for (const QByteArray& source : sources)
        Progress.BytesTotal += TreeSize(Clean(source));

    const QByteArray target = Clean(targetDir);
    TFileStatus targetStatus;
    int rc = Calls.StatusFollowed(target, targetStatus);
    if (rc == 0 && !targetStatus.IsDir())
        rc = ENOTDIR;
    if (rc != 0) {
        Report(result, {step, target, {}, target, rc}, false);
        return result;
    }

    RemoveLeftovers(target);

    for (qsizetype i = 0; i < sources.size(); ++i) {
        const QByteArray source = Clean(sources[i]);
        const bool more = i + 1 < sources.size();
        if (!Tick(source)) {
            result.Cancelled = true;
            break;
        }
        TFileStatus status;
        if (rc = Calls.Status(source, status); rc != 0) {
            if (!Report(result, {step, source, {}, target, rc}, more))
                break;
            continue;
        }
        const int64_t size = TreeSize(source);
        TFileStatus parent;
        if (mode == TTransferMode::Move && Calls.StatusFollowed(FolderOf(source), parent) == 0 &&
            parent.Device == targetStatus.Device && parent.Inode == targetStatus.Inode) {
            Progress.BytesDone += size;
            ++Progress.ItemsDone;
            continue;
        }
        if (status.IsDir() && IsInside(target, source)) {
            if (!Report(result, {step, source, {}, target, EINVAL}, more))
                break;
            continue;
        }

        QByteArray to;
        QByteArray failed;
        bool renamed = false;
        bool made = false;
        QByteArray partial;
        for (int attempt = 0; attempt < NameAttempts; ++attempt) {
            to = Join(target, FreeName(target, FileName(source), status.IsDir()));
            failed.clear();
            if (mode == TTransferMode::Move) {
                rc = Calls.RenameNoReplace(source, to);
                renamed = rc == 0;
                if (rc == EEXIST)
                    continue; // taken in between by another program
                if (rc != EXDEV)
                    break;
            }
            partial = Join(target, PartName());
            rc = CopyTree(source, partial, failed, made);
            if (rc != EEXIST || made)
                break;
        }
        if (!renamed && rc == 0)
            rc = PutInPlace(partial, target, FileName(source), status.IsDir(), to);
        if (failed.startsWith(partial) && !partial.isEmpty())
            failed = to + failed.mid(partial.size());
        if (rc != 0 && made) {
            // Never leave half a copy behind.
            QByteArray ignored;
            RemoveTree(partial, ignored, true);
        }
        if (rc == ECANCELED || CancelRequested) {
            result.Cancelled = true;
            break;
        }
        if (rc != 0) {
            if (!Report(result,
                        {step, source, failed == source ? QByteArray() : failed, target, rc}, more))
                break;
            continue;
        }
        if (mode == TTransferMode::Move && !renamed) {
            // Cross-device move: the copy is complete and synced; its folder entry too.
            rc = Calls.SyncDir(target);
            failed.clear();
            if (rc == 0)
                rc = RemoveTree(source, failed, false);
            if (rc != 0) {
                result.Done.append({source, to});
                if (!Report(result,
                            {TFileOpError::TStep::RemoveOriginal,
                             source,
                             failed == source ? QByteArray() : failed,
                             {},
                             rc},
                            more))
                    break;
                continue;
            }
        } else if (renamed) {
            Progress.BytesDone += size;
        }
        ++Progress.ItemsDone;
        result.Done.append({source, to});
    }
    if (!result.Cancelled)
        Tick(QByteArray());
    return result;
}

int TFileOperations::PutInPlace(const QByteArray& partial, const QByteArray& target,
                                const QByteArray& name, bool isDir, QByteArray& to) {
    int rc = EEXIST;
    for (int attempt = 0; attempt < NameAttempts && rc == EEXIST; ++attempt) {
        to = Join(target, FreeName(target, name, isDir));
        rc = Calls.RenameNoReplace(partial, to);
    }
    return rc;
}

void TFileOperations::RemoveLeftovers(const QByteArray& folder) {
    QList<QByteArray> names;
    if (Calls.ReadDir(folder, names) != 0)
        return;
    for (const QByteArray& name : names) {
        const pid_t owner = PartOwner(name);
        if (owner == 0 || owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        QByteArray ignored;
        RemoveTree(Join(folder, name), ignored, true);
    }
}

TFileOpResult TFileOperations::Trash(const QList<QByteArray>& paths) {
    TFileOpResult result;
    Progress = TFileOpProgress{};
    CancelRequested = false;
    Progress.ItemsTotal = int(paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QByteArray path = Clean(paths[i]);
        if (!Tick(path)) {
            result.Cancelled = true;
            break;
        }
        const int rc = Calls.MoveToTrash(path);
        ++Progress.ItemsDone;
        if (rc == 0) {
            result.Done.append({path, QByteArray()});
        } else if (!Report(result, {TFileOpError::TStep::Trash, path, {}, {}, rc},
                           i + 1 < paths.size())) {
            break;
        }
    }
    return result;
}

TFileOperations::TRenameResult TFileOperations::Rename(const QByteArray& path,
                                                       const QByteArray& newName) {
    TRenameResult result;
    if (newName.isEmpty() || newName == "." || newName == ".." || newName.contains('/') ||
        newName.contains('\0')) {
        result.Outcome = TRenameOutcome::InvalidName;
        result.Errno = EINVAL;
        return result;
    }
    const QByteArray from = Clean(path);
    const QByteArray to = Join(FolderOf(from), newName);
    result.NewPath = to;
    if (to == from) {
        result.Outcome = TRenameOutcome::Unchanged;
        return result;
    }
    TFileStatus source;
    TFileStatus existing;
    if (const int rc = Calls.Status(from, source); rc != 0) {
        result.Errno = rc;
        return result;
    }
    int rc = 0;
    if (Calls.Status(to, existing) == 0 && existing.Device == source.Device &&
        existing.Inode == source.Inode &&
        QString::fromUtf8(to).compare(QString::fromUtf8(from), Qt::CaseInsensitive) == 0) {
        // A case-insensitive file system sees the new spelling as the item itself: go
        // through a free temporary name.
        const QByteArray folder = FolderOf(from);
        const QByteArray temporary = Join(folder, FreeName(folder, newName + ".rename", false));
        rc = Calls.RenameNoReplace(from, temporary);
        if (rc == 0 && (rc = Calls.RenameNoReplace(temporary, to)) != 0)
            Calls.RenameNoReplace(temporary, from);
    } else {
        rc = Calls.RenameNoReplace(from, to);
    }
    result.Errno = rc;
    result.Outcome = rc == 0        ? TRenameOutcome::Renamed
                     : rc == EEXIST ? TRenameOutcome::NameTaken
                                    : TRenameOutcome::Failed;
    return result;
}
